/* Makes the HKEY_LOCAL_MACHINE key named by its argument volatile: Windows
   (and Wine) then refuse to create a lasting key below it, a registry write
   that fails as it does for a user without the rights to it. */
#include <windows.h>

int main(int argc, char** argv) {
    HKEY key;
    if (argc != 2) return 2;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, NULL, REG_OPTION_VOLATILE, KEY_WRITE, NULL, &key, NULL) !=
        ERROR_SUCCESS)
        return 1;
    RegCloseKey(key);
    return 0;
}
