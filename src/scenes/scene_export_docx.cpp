#include <string>

#include "scenes/office_parts.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {

// WordprocessingML parts. Sizes: w:sz in half-points, widths in twentieths of a point
// (120 pt = 2400), drawing extents in EMU (914 400 per inch, 12 700 per point).
constexpr int kColumnTwips = 2400;
constexpr int64_t kEmuPerPoint = 12'700;
constexpr int64_t kPictureWidthPoints = 105;  // fits the 120 pt column inside the cell margins

constexpr const char* kWordNs =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"";

std::string run(const std::string& text, const std::string& props) {
    return "<w:r><w:rPr>" + props + "</w:rPr><w:t xml:space=\"preserve\">" + XmlEscape(text) + "</w:t></w:r>";
}

// Lines of one paragraph separated by line breaks.
std::string runs(const std::vector<std::string>& lines, const std::string& props) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "<w:r><w:rPr>" + props + "</w:rPr><w:br/></w:r>";
        out += run(lines[i], props);
    }
    return out;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return lines;
        start = end + 1;
    }
}

std::string inlinePicture(int id, const std::string& relId, int width, int height) {
    const int64_t cx = kPictureWidthPoints * kEmuPerPoint;
    const int64_t cy = cx * height / (width > 0 ? width : 1);
    const std::string ext = "cx=\"" + std::to_string(cx) + "\" cy=\"" + std::to_string(cy) + "\"";
    const std::string n = std::to_string(id);
    return "<w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"><wp:extent " + ext +
           "/><wp:docPr id=\"" + n + "\" name=\"Scène " + n +
           "\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
           "<pic:pic><pic:nvPicPr><pic:cNvPr id=\"" +
           n + "\" name=\"scene" + n +
           ".png\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"" + relId +
           "\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" "
           "y=\"0\"/><a:ext " +
           ext +
           "/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
           "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
}

std::string cell(const std::string& content) {
    return "<w:tc><w:tcPr><w:tcW w:w=\"" + std::to_string(kColumnTwips) + "\" w:type=\"dxa\"/></w:tcPr>" +
           content + "</w:tc>";
}

}  // namespace

bool TWriteWord::Finish() {
    const std::string small =
        "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:cs=\"Arial\"/><w:sz w:val=\"16\"/>";
    std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures;
    std::string rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rFooter\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer\" "
        "Target=\"footer1.xml\"/>";

    std::string body = "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr>" +
                       run(FileNameOf(videoPath_, true),
                           "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:cs=\"Arial\"/><w:b/>"
                           "<w:color w:val=\"800000\"/><w:sz w:val=\"32\"/>") +
                       "</w:p><w:p/>";
    // Two table rows per line of four scenes: captions, then pictures with their texts.
    const size_t count = std::max(scenes_.size(), size_t(announced_ > 0 ? announced_ : 0));
    const size_t lines = (count + 3) / 4;
    if (lines > 0) {
        body += "<w:tbl><w:tblPr><w:tblW w:w=\"" + std::to_string(4 * kColumnTwips) +
                "\" w:type=\"dxa\"/><w:tblLayout w:type=\"fixed\"/><w:tblBorders>";
        for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"})
            body +=
                std::string("<w:") + side + " w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"000000\"/>";
        body += "</w:tblBorders></w:tblPr><w:tblGrid>";
        for (int c = 0; c < 4; ++c) body += "<w:gridCol w:w=\"" + std::to_string(kColumnTwips) + "\"/>";
        body += "</w:tblGrid>";
        const std::string rowProps = "<w:trPr><w:cantSplit/></w:trPr>";
        for (size_t line = 0; line < lines; ++line) {
            std::string captions = "<w:tr>" + rowProps, contents = "<w:tr>" + rowProps;
            for (size_t c = 0; c < 4; ++c) {
                const size_t index = line * 4 + c;
                if (index >= scenes_.size()) {
                    captions += cell("<w:p/>");
                    contents += cell("<w:p/>");
                    continue;
                }
                const TSceneClass& s = scenes_[index];
                captions += cell("<w:p><w:pPr><w:keepNext/></w:pPr>" +
                                 run("Scène n°" + std::to_string(s.Numero), small) + "</w:p>");
                std::string content;
                if (!s.Image.empty()) {
                    const int id = int(pictures.size()) + 1;
                    const std::string relId = "rImage" + std::to_string(id);
                    const std::string name = "media/scene" + std::to_string(id) + ".png";
                    pictures.emplace_back("word/" + name, EncodePng(s.Image));
                    rels +=
                        "<Relationship Id=\"" + relId +
                        "\" "
                        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
                        "Target=\"" +
                        name + "\"/>";
                    content += "<w:p>" + inlinePicture(id, relId, s.Image.width, s.Image.height) + "</w:p>";
                }
                content += "<w:p>" + runs(SceneTextLines(s), small) + "</w:p>";
                contents += cell(content);
            }
            body += captions + "</w:tr>" + contents + "</w:tr>";
        }
        body += "</w:tbl><w:p/>";
    }
    rels += "</Relationships>";

    const std::string document =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document ") + kWordNs +
        "><w:body>" + body +
        "<w:sectPr><w:footerReference w:type=\"default\" r:id=\"rFooter\"/>"
        "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1134\" w:right=\"1134\" w:bottom=\"1134\" "
        "w:left=\"1134\" w:header=\"567\" w:footer=\"567\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>";
    const std::string footer =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:ftr ") + kWordNs +
        "><w:p>" +
        runs(splitLines(DocumentFooterText(videoPath_, info_)),
             "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:cs=\"Arial\"/><w:i/><w:sz w:val=\"16\"/>") +
        "</w:p></w:ftr>";
    const std::string contentTypes =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
        "<Override PartName=\"/word/footer1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml\"/>"
        "</Types>";
    const std::string packageRels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rDocument\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
        "Target=\"word/document.xml\"/></Relationships>";

    ZipPackage package;
    bool written = package.Open(outputPath_) && package.Add("[Content_Types].xml", contentTypes) &&
                   package.Add("_rels/.rels", packageRels) && package.Add("word/document.xml", document) &&
                   package.Add("word/_rels/document.xml.rels", rels) &&
                   package.Add("word/footer1.xml", footer);
    for (const auto& [name, png] : pictures) written = written && package.Add(name, png);
    if (!written || !package.Commit()) {
        error_ = package.error();
        return false;
    }
    return true;
}

}  // namespace velinor
