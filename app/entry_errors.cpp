#include "app/entry_errors.h"

#include <cstdint>

#include "platform/win32.h"

namespace {
bool haveUnopenable = false;
uint32_t unopenableIndex = 0;
}  // namespace

void reportEntryError(const FileList* list, const std::string& text) {
    haveUnopenable = list != nullptr;
    if (list) unopenableIndex = list->current();
    MessageBoxA(nullptr, text.c_str(), "Olvistra - error", MB_OK | MB_ICONERROR);
}

bool currentEntryUnopenable(const FileList* list) {
    return haveUnopenable && list && list->current() == unopenableIndex;
}

void forgetEntryError() { haveUnopenable = false; }
