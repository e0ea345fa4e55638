/*
 * Morvalen for Windows: the administrator's settings, from the registry.
 *
 * Each value is taken from the first key that has it: the machine's
 * policy, the user's policy, then the user's settings. A value present
 * but empty in a policy key still wins: that is how a policy says "none".
 */
#include "settings.h"

char CollectFolder[MAX_PATH];
bool EndAtLock;
DWORD CopyEveryMinutes;

static const struct {
    HKEY root;
    const char *key;
} SettingsKeys[] = {
    {HKEY_LOCAL_MACHINE, MORVALEN_POLICY_KEY},
    {HKEY_CURRENT_USER, MORVALEN_POLICY_KEY},
    {HKEY_CURRENT_USER, MORVALEN_SETTINGS_KEY},
};

/* The value's type and bytes from the first key that has it; false if no
   key has it, or it does not fit. */
static bool ReadValue(const char *name, DWORD *type, BYTE *data, DWORD size)
{
    for (const auto &place : SettingsKeys) {
        HKEY key;
        if (RegOpenKeyExA(place.root, place.key, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        DWORD got = size;
        LONG result = RegQueryValueExA(key, name, NULL, type, data, &got);
        RegCloseKey(key);
        if (result == ERROR_FILE_NOT_FOUND)
            continue;
        /* A value too long for its buffer, or unreadable, is not half used. */
        return result == ERROR_SUCCESS;
    }
    return false;
}

static void ReadCollectFolder()
{
    char raw[MAX_PATH];
    DWORD type;

    CollectFolder[0] = '\0';
    /* One byte kept back: a string stored without its terminator gets one. */
    raw[sizeof raw - 1] = '\0';
    if (!ReadValue(MORVALEN_COLLECT_VALUE, &type, (BYTE *)raw, sizeof raw - 1))
        return;
    if (type == REG_SZ) {
        lstrcpyA(CollectFolder, raw);
    } else if (type == REG_EXPAND_SZ) {
        /* %OneDrive% and the like; a folder too long once expanded is none. */
        DWORD needed = ExpandEnvironmentStringsA(raw, CollectFolder, sizeof CollectFolder);
        if (needed == 0 || needed > sizeof CollectFolder)
            CollectFolder[0] = '\0';
    }
}

static void ReadEndAtLock()
{
    DWORD type, value = 0;
    EndAtLock = ReadValue(MORVALEN_ENDATLOCK_VALUE, &type, (BYTE *)&value, sizeof value) &&
                type == REG_DWORD && value == 1;
}

/* A value of another type is as none; a longer wait than a timer takes
   is the longest it takes (some 24 days). */
static void ReadCopyEvery()
{
    DWORD type, value = 0;
    if (!ReadValue(MORVALEN_COPYEVERY_VALUE, &type, (BYTE *)&value, sizeof value) || type != REG_DWORD)
        value = DefaultCopyEveryMinutes;
    CopyEveryMinutes = value < (DWORD)MostCopyEveryMinutes ? value : (DWORD)MostCopyEveryMinutes;
}

void ReadSettings()
{
    ReadCollectFolder();
    ReadEndAtLock();
    ReadCopyEvery();
}
