// The name cards' font, built into the program (TIVOLNA_NAMECARD_FONT_PATH, set by the build).
#include "imaging/namecard_font.h"

#define NC_STR2(x) #x
#define NC_STR(x) NC_STR2(x)
#define NC_SYM(name) NC_STR(__USER_LABEL_PREFIX__) #name

#ifdef _WIN32
#define NC_SECTION ".section .rdata,\"dr\"\n"
#else
#define NC_SECTION ".section .rodata\n"
#endif

__asm__(NC_SECTION
        ".balign 16\n"
        ".globl " NC_SYM(tivolna_namecard_font) "\n"
        NC_SYM(tivolna_namecard_font) ":\n"
        ".incbin \"" TIVOLNA_NAMECARD_FONT_PATH "\"\n"
        ".globl " NC_SYM(tivolna_namecard_font_end) "\n"
        NC_SYM(tivolna_namecard_font_end) ":\n"
        ".byte 0\n"
        ".text\n");

extern "C" const unsigned char tivolna_namecard_font[];
extern "C" const unsigned char tivolna_namecard_font_end[];

namespace imaging {

const unsigned char* NameCardFont(size_t* size) {
  *size = static_cast<size_t>(tivolna_namecard_font_end - tivolna_namecard_font);
  return tivolna_namecard_font;
}

}  // namespace imaging
