/* The demo's setup program for Windows: reports where it runs and what it was given. */
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof folder, folder);
    FILE* log = fopen("setup-ran.txt", "w");
    if (log != NULL) {
        fprintf(log, "setup.exe ran in %s with %d argument(s)\n", folder, argc - 1);
        for (int i = 1; i < argc; ++i) {
            fprintf(log, "  %s\n", argv[i]);
        }
        fclose(log);
    }
    return 0;
}
