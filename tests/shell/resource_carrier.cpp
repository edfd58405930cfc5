// A program that does nothing but carry the application's resources, for the tests to read.
int main() { return 0; }
