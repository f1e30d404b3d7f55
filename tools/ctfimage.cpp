// ctfimage: builds control-file images from a readable description and dumps them back.
int main() { return 1; }
