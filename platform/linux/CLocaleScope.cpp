#include "platform/CLocaleScope.h"

#include <locale.h>

namespace platform {
namespace {

// Made once for the whole process and never freed: instances on any thread
// may still be using it while the library unloads.
locale_t cLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

CLocaleScope::CLocaleScope() : previous_(nullptr) {
    const locale_t c = cLocale();
    // Without a "C" locale object, uselocale(0) only reports the current one,
    // so the thread keeps its locale and the destructor puts back the same.
    previous_ = ::uselocale(c);
}

CLocaleScope::~CLocaleScope() {
    ::uselocale(static_cast<locale_t>(previous_));
}

}  // namespace platform
