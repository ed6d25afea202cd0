/* Smallest useful fixture: a stripped MinGW console program. */
int main(void) { return 0; }
