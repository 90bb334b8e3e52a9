#include "drawing/pdfdocument.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <string_view>

#include <poppler-document.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>

#include "drawing/drawingfile.h"

namespace {

constexpr double kMmPerPoint = 25.4 / 72;
// PDF's own bound on a page's side (200 inches, about 5 m); past it a page is damage.
constexpr double kMaxPagePoints = 14400;

void Quiet(const std::string&, void*) {}

// The document held in bytes (which must outlive it), or null when it cannot be read:
// Poppler's complaints about damage stay off the thumbnailer's standard error, which
// file managers show nowhere, and an encrypted document is refused before a page is read.
std::unique_ptr<poppler::document> Load(const std::string& fsPath, std::string& bytes, std::int64_t* mtime)
{
    poppler::set_debug_error_function(Quiet, nullptr);
    // The header may follow some bytes of junk, as readers have always allowed.
    if (!ReadDrawingBytes(fsPath, bytes, mtime) || bytes.size() > std::size_t(INT_MAX) ||
        std::string_view(bytes).substr(0, 1024).find("%PDF-") == std::string_view::npos)
        return nullptr;
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_raw_data(bytes.data(), int(bytes.size())));
    if (!doc || doc->is_locked() || doc->pages() < 1) return nullptr;
    return doc;
}

} // namespace

QImage RenderPdfPage(const std::string& fsPath, int page, int size, std::int64_t* mtime) noexcept
{
    try {
        std::string bytes;
        const std::unique_ptr<poppler::document> doc = Load(fsPath, bytes, mtime);
        if (!doc || page < 1 || page > doc->pages() || size < 1) return {};
        const std::unique_ptr<poppler::page> p(doc->create_page(page - 1));
        if (!p) return {};
        const poppler::rectf box = p->page_rect(poppler::media_box);
        double w = box.width(), h = box.height();
        if (!(w > 0 && h > 0 && w <= kMaxPagePoints && h <= kMaxPagePoints)) return {};
        const poppler::page::orientation_enum o = p->orientation();
        if (o == poppler::page::landscape || o == poppler::page::seascape) std::swap(w, h);
        const double dpi = 72.0 * size / std::max(w, h);
        poppler::page_renderer renderer;
        renderer.set_render_hint(poppler::page_renderer::antialiasing);
        renderer.set_render_hint(poppler::page_renderer::text_antialiasing);
        renderer.set_paper_color(0xFFFFFFFF);
        renderer.set_image_format(poppler::image::format_argb32);
        poppler::image rendered = renderer.render_page(p.get(), dpi, dpi);
        if (!rendered.is_valid() || rendered.width() < 1 || rendered.height() < 1) return {};
        QImage image(reinterpret_cast<const uchar*>(rendered.const_data()), rendered.width(), rendered.height(),
                     rendered.bytes_per_row(), QImage::Format_ARGB32_Premultiplied);
        // The rounding of the resolution may give a pixel more than asked for.
        QImage out = image.convertToFormat(QImage::Format_RGB32);
        if (std::max(out.width(), out.height()) > size) out = out.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        out.setText(kPdfPagesKey, QString::number(doc->pages()));
        return out;
    } catch (...) {
        return {};
    }
}

bool ReadPdfInfo(const std::string& fsPath, int& pages, double& widthMm, double& heightMm) noexcept
{
    try {
        std::string bytes;
        const std::unique_ptr<poppler::document> doc = Load(fsPath, bytes, nullptr);
        if (!doc) return false;
        const std::unique_ptr<poppler::page> p(doc->create_page(0));
        if (!p) return false;
        const poppler::rectf box = p->page_rect(poppler::media_box);
        pages = doc->pages();
        widthMm = box.width() * kMmPerPoint;
        heightMm = box.height() * kMmPerPoint;
        return true;
    } catch (...) {
        return false;
    }
}

bool ReadPdfTexts(const std::string& fsPath, std::vector<PdfText>& texts) noexcept
{
    texts.clear();
    try {
        std::string bytes;
        const std::unique_ptr<poppler::document> doc = Load(fsPath, bytes, nullptr);
        if (!doc || doc->pages() > kMaxPdfTextPages) return false;
        for (int i = 0; i < doc->pages() && texts.size() < kMaxPdfTexts; ++i) {
            const std::unique_ptr<poppler::page> p(doc->create_page(i));
            if (!p) continue;
            for (const poppler::text_box& box : p->text_list()) {
                if (texts.size() >= kMaxPdfTexts) break;
                const poppler::byte_array utf8 = box.text().to_utf8();
                const poppler::rectf r = box.bbox();
                PdfText t;
                t.page = i + 1;
                t.text.assign(utf8.begin(), utf8.end());
                t.x = r.x() * kMmPerPoint;
                t.y = r.y() * kMmPerPoint;
                t.width = r.width() * kMmPerPoint;
                t.height = r.height() * kMmPerPoint;
                if (!t.text.empty()) texts.push_back(std::move(t));
            }
        }
        return true;
    } catch (...) {
        texts.clear();
        return false;
    }
}
