#include "app/entry_errors.h"

#include <cstdint>

#include "app/start_listing.h"
#include "model/file_list.h"
#include "platform/win32.h"

namespace {
bool haveUnopenable = false;
uint32_t unopenableIndex = 0;
}  // namespace

void reportEntryError(const std::string& text) {
    haveUnopenable = fileList != nullptr;
    if (fileList) unopenableIndex = fileList->current();
    MessageBoxA(nullptr, text.c_str(), "Olvistra - error", MB_OK | MB_ICONERROR);
}

bool currentEntryUnopenable() {
    return haveUnopenable && fileList && fileList->current() == unopenableIndex;
}

void forgetEntryError() { haveUnopenable = false; }
