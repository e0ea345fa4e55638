/*
 * Morvalen for Windows: the command dialog, the running copy's only user
 * interface, opened when a later launch asks for it.
 */
#ifndef MORVALEN_CMDDLG_H
#define MORVALEN_CMDDLG_H

void ShowCommandDialog();

#endif
