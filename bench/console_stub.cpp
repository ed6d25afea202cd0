// A console program that exits at once: the child whose start the console
// launcher's own start is compared with, as java.exe is a console program.
int wmain() { return 0; }
