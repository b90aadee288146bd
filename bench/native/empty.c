/* An empty program: the floor for start-up. */
int main(void) { return 0; }
