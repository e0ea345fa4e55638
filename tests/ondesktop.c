/*
 * Runs a program on a desktop of its own, as Windows runs the programs of
 * another session: ondesktop DESKTOP PROGRAM [TAIL]. Started from the Unix
 * side with another USER, the program also gets another user name.
 */
#include <windows.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    char line[1024];
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION info;
    DWORD code = 1;

    if (argc < 3)
        return 2;
    HDESK desktop = CreateDesktopA(argv[1], NULL, NULL, 0, GENERIC_ALL, NULL);
    snprintf(line, sizeof line, "\"%s\" %s", argv[2], argc > 3 ? argv[3] : "");
    startup.lpDesktop = argv[1];
    if (CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
        WaitForSingleObject(info.hProcess, INFINITE);
        GetExitCodeProcess(info.hProcess, &code);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseDesktop(desktop);
    return (int)code;
}
