// Program body; the main window comes with the component framework.
int main() { return 0; }
