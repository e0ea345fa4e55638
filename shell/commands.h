/*
 * Morvalen for Windows: the three commands of the command dialog, run by
 * the hidden window once the dialog has closed.
 */
#ifndef MORVALEN_COMMANDS_H
#define MORVALEN_COMMANDS_H

enum { CMD_SHOWLOG = 0, CMD_INITLOG = 1, CMD_QUIT = 2 };

bool OpenWithShell(const char *target);
/* Runs the command of that code; any other code does nothing. */
void RunCommand(int code);

#endif
