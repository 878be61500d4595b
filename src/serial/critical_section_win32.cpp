#include "serial/critical_section.h"

#include "base/windows_api.h"

#include <new>

namespace ziv {

namespace {

CRITICAL_SECTION* Section(unsigned char* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}

}  // namespace

TVaCriticalSection::TVaCriticalSection() {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(storage_));
    static_assert(alignof(CRITICAL_SECTION) <= alignof(void*));
    // Cannot fail since Windows Vista.
    ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

TVaCriticalSection::~TVaCriticalSection() {
    ::DeleteCriticalSection(Section(storage_));
}

void TVaCriticalSection::Enter() {
    ::EnterCriticalSection(Section(storage_));
}

void TVaCriticalSection::Leave() {
    ::LeaveCriticalSection(Section(storage_));
}

}  // namespace ziv
