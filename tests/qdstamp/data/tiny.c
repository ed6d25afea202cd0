/* Smallest useful fixture: a stripped MinGW program (built as a GUI and as a
   console program). */
int main(void) { return 0; }
