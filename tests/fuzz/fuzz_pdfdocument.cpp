// libFuzzer target for PDF plots through Poppler: a page drawn small, the page count and
// the texts. Whatever the bytes, a picture is of the size asked or none, and a text box
// lies on numbers. The reader takes files, so each input is written to one first.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "drawing/pdfdocument.h"
#include "fuzzdrawing.h"

namespace {

std::string g_path;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    (void)argc;
    StartFuzzApplication((*argv)[0]);
    g_path = "/tmp/fuzz_pdfdocument-" + std::to_string(::getpid()) + ".pdf";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::FILE* f = std::fopen(g_path.c_str(), "wb");
    if (!f) return 0;
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written) return 0;
    const QImage image = RenderPdfPage(g_path, 1 + int(size % 2), 32);
    Check(image.isNull() || std::max(image.width(), image.height()) == 32);
    int pages = 0;
    double w = 0, h = 0;
    if (ReadPdfInfo(g_path, pages, w, h)) Check(pages >= 1);
    std::vector<PdfText> texts;
    if (ReadPdfTexts(g_path, texts))
        for (const PdfText& t : texts) Check(std::isfinite(t.x + t.y + t.width + t.height) && t.page >= 1 && t.page <= pages);
    return 0;
}
