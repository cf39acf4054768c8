// The portable plug-in files must load with glibc 2.34, but the C++ runtime and unwinder
// they carry inside were built against a newer glibc and call two functions it added
// (arc4random in 2.36, _dl_find_object in 2.35). The portable link sends those calls here
// (-Wl,--wrap, cmake/Portable.cmake), to versions made of functions glibc 2.34 has.
//
// Linked into the portable plug-in modules only.

#include <dlfcn.h>
#include <link.h>
#include <sys/random.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace {

struct ObjectSearch {
    std::uintptr_t address = 0;
    dl_find_object* result = nullptr;
    bool found = false;
};

bool segmentHolds(const dl_phdr_info& object, const ElfW(Phdr)& segment, std::uintptr_t address) {
    const std::uintptr_t start = object.dlpi_addr + segment.p_vaddr;
    return segment.p_type == PT_LOAD && address >= start && address - start < segment.p_memsz;
}

// Fills the search's result from the loaded object that maps its address: the span of
// its loaded segments and its unwind table (PT_GNU_EH_FRAME), which is all the
// unwinder reads. Returning nonzero ends dl_iterate_phdr's walk.
int describeObjectHolding(dl_phdr_info* object, std::size_t /*size*/, void* data) {
    auto* search = static_cast<ObjectSearch*>(data);
    bool holds = false;
    std::uintptr_t low = UINTPTR_MAX;
    std::uintptr_t high = 0;
    void* unwindTable = nullptr;
    for (ElfW(Half) index = 0; index < object->dlpi_phnum; ++index) {
        const ElfW(Phdr)& segment = object->dlpi_phdr[index];
        const std::uintptr_t start = object->dlpi_addr + segment.p_vaddr;
        if (segment.p_type == PT_GNU_EH_FRAME) unwindTable = reinterpret_cast<void*>(start);
        if (segment.p_type != PT_LOAD) continue;
        holds = holds || segmentHolds(*object, segment, search->address);
        low = start < low ? start : low;
        high = start + segment.p_memsz > high ? start + segment.p_memsz : high;
    }
    if (!holds) return 0;
    search->result->dlfo_flags = 0;
    search->result->dlfo_map_start = reinterpret_cast<void*>(low);
    search->result->dlfo_map_end = reinterpret_cast<void*>(high);
    search->result->dlfo_link_map = nullptr;
    search->result->dlfo_eh_frame = unwindTable;
    search->found = true;
    return 1;
}

}  // namespace

extern "C" {

// The unwinder's lookup of the object that holds a return address, as the unwinders
// before glibc 2.35 did it. Called on: any thread that throws.
__attribute__((visibility("hidden"))) int __wrap__dl_find_object(void* address, dl_find_object* result) {
    ObjectSearch search;
    search.address = reinterpret_cast<std::uintptr_t>(address);
    search.result = result;
    ::dl_iterate_phdr(describeObjectHolding, &search);
    if (!search.found) return -1;
    link_map* map = nullptr;
    Dl_info info;
    if (::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0) {
        result->dlfo_link_map = map;
    }
    return 0;
}

// One of std::random_device's sources. getrandom waits only until the kernel's pool is
// first seeded, early at boot.
__attribute__((visibility("hidden"))) std::uint32_t __wrap_arc4random() {
    std::uint32_t value = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&value);
    std::size_t filled = 0;
    while (filled < sizeof value) {
        const ssize_t got = ::getrandom(bytes + filled, sizeof value - filled, 0);
        if (got > 0) {
            filled += static_cast<std::size_t>(got);
        } else if (got < 0 && errno != EINTR) {
            break;
        }
    }
    return value;
}

}  // extern "C"
