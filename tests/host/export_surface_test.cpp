// The library's face to the system: its dynamic symbol table holds exactly
// the 35 FMI functions, it needs nothing at run time but libc, libm and the
// loader, and no glibc newer than 2.17. Read straight from the ELF file.
#include <dlfcn.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "host/fmi_api.h"

namespace tarvo::testing {
namespace {

struct DynamicSection {
    std::set<std::string> definedSymbols;
    std::vector<std::string> needed;
    std::set<std::string> neededVersions;  // GLIBC_2.14, ... of every needed library
    bool valid = false;
};

template <typename T>
bool readAt(const std::vector<char>& file, size_t offset, T* out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) {
        return false;
    }
    std::memcpy(out, file.data() + offset, sizeof(T));
    return true;
}

std::string stringAt(const std::vector<char>& file, size_t tableOffset, size_t tableSize,
                     size_t index) {
    if (index >= tableSize || tableOffset + tableSize > file.size()) {
        return {};
    }
    const char* begin = file.data() + tableOffset + index;
    return std::string(begin, strnlen(begin, tableSize - index));
}

DynamicSection readDynamicSection(const char* path) {
    DynamicSection result;
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    Elf64_Ehdr header;
    if (!readAt(file, 0, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64) {
        return result;
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!readAt(file, header.e_shoff + i * header.e_shentsize, &sections[i])) {
            return result;
        }
    }
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_link >= sections.size()) {
            continue;
        }
        const Elf64_Shdr& strings = sections[section.sh_link];
        if (section.sh_type == SHT_DYNSYM) {
            for (size_t i = 0; i < section.sh_size / sizeof(Elf64_Sym); ++i) {
                Elf64_Sym symbol;
                if (!readAt(file, section.sh_offset + i * sizeof symbol, &symbol)) {
                    return result;
                }
                if (symbol.st_shndx != SHN_UNDEF && symbol.st_name != 0) {
                    result.definedSymbols.insert(
                        stringAt(file, strings.sh_offset, strings.sh_size, symbol.st_name));
                }
            }
        } else if (section.sh_type == SHT_GNU_verneed) {
            size_t offset = section.sh_offset;
            for (;;) {
                Elf64_Verneed need;
                if (!readAt(file, offset, &need)) {
                    return result;
                }
                size_t auxOffset = offset + need.vn_aux;
                for (unsigned k = 0; k < need.vn_cnt; ++k) {
                    Elf64_Vernaux aux;
                    if (!readAt(file, auxOffset, &aux)) {
                        return result;
                    }
                    result.neededVersions.insert(
                        stringAt(file, strings.sh_offset, strings.sh_size, aux.vna_name));
                    auxOffset += aux.vna_next;
                }
                if (need.vn_next == 0) {
                    break;
                }
                offset += need.vn_next;
            }
        } else if (section.sh_type == SHT_DYNAMIC) {
            for (size_t i = 0; i < section.sh_size / sizeof(Elf64_Dyn); ++i) {
                Elf64_Dyn entry;
                if (!readAt(file, section.sh_offset + i * sizeof entry, &entry)) {
                    return result;
                }
                if (entry.d_tag == DT_NEEDED) {
                    result.needed.push_back(
                        stringAt(file, strings.sh_offset, strings.sh_size, entry.d_un.d_val));
                }
            }
        }
    }
    result.valid = true;
    return result;
}

// A sanitized test program was built with a sanitized library, which then
// needs the sanitizer runtimes as well.
bool runsUnderSanitizers() {
    return dlsym(RTLD_DEFAULT, "__asan_init") != nullptr ||
           dlsym(RTLD_DEFAULT, "__tsan_init") != nullptr ||
           dlsym(RTLD_DEFAULT, "__ubsan_handle_add_overflow") != nullptr;
}

bool isAllowedDependency(const std::string& name) {
    if (name == "libc.so.6" || name == "libm.so.6" || name.rfind("ld-linux", 0) == 0) {
        return true;
    }
    const char* sanitizerRuntimes[] = {"libasan.so", "libubsan.so", "libtsan.so", "liblsan.so"};
    return runsUnderSanitizers() &&
           std::any_of(std::begin(sanitizerRuntimes), std::end(sanitizerRuntimes),
                       [&](const char* runtime) { return name.rfind(runtime, 0) == 0; });
}

TEST(ExportSurface, ExactlyTheThirtyFiveFmiFunctionsAreExported) {
    const DynamicSection dynamic = readDynamicSection(TARVO_UNIT_LIBRARY);
    ASSERT_TRUE(dynamic.valid) << TARVO_UNIT_LIBRARY;
    const std::set<std::string> expected(std::begin(host::kFmi2ExportNames),
                                         std::end(host::kFmi2ExportNames));
    ASSERT_EQ(expected.size(), 35u);
    EXPECT_EQ(dynamic.definedSymbols, expected);
}

TEST(ExportSurface, OnlyLibcLibmAndTheLoaderAreNeeded) {
    const DynamicSection dynamic = readDynamicSection(TARVO_UNIT_LIBRARY);
    ASSERT_TRUE(dynamic.valid) << TARVO_UNIT_LIBRARY;
    EXPECT_NE(std::find(dynamic.needed.begin(), dynamic.needed.end(), "libc.so.6"),
              dynamic.needed.end());
    for (const std::string& name : dynamic.needed) {
        EXPECT_TRUE(isAllowedDependency(name)) << name;
    }
}

// pow is bound to its first version (matrix/scalar.cpp); everything else
// the unit calls has been in glibc since 2.17 or before.
TEST(ExportSurface, NoGlibcNewerThan2_17IsNeeded) {
    const DynamicSection dynamic = readDynamicSection(TARVO_UNIT_LIBRARY);
    ASSERT_TRUE(dynamic.valid) << TARVO_UNIT_LIBRARY;
    int glibcVersions = 0;
    for (const std::string& version : dynamic.neededVersions) {
        int major = 0;
        int minor = 0;
        if (std::sscanf(version.c_str(), "GLIBC_%d.%d", &major, &minor) == 2) {
            ++glibcVersions;
            EXPECT_TRUE(major < 2 || (major == 2 && minor <= 17)) << version;
        }
    }
    EXPECT_GT(glibcVersions, 0) << "no GLIBC version needed: not read from the file?";
}

}  // namespace
}  // namespace tarvo::testing
