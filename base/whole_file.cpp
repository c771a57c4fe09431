#include "base/whole_file.h"

bool ReadWholeFile(const std::string& path, std::string& text, DWORD* error) {
    text.clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        if (error) *error = GetLastError();
        return false;
    }
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &got, NULL) != 0) && got) text.append(buffer, got);
    if (!ok && error) *error = GetLastError();
    CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& text, DWORD& error, bool flush) {
    error = 0;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    DWORD written = 0;
    if (!text.empty() && (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, NULL) ||
                          written != text.size()))
        error = GetLastError() ? GetLastError() : ERROR_DISK_FULL;
    if (!error && flush && !FlushFileBuffers(file)) error = GetLastError();
    CloseHandle(file);
    return !error;
}
