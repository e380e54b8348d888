#include <algorithm>
#include <map>

#include "platform/utf16.h"
#include "scenes/office_parts.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {

constexpr const char* kOdfNs =
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
    "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\"";
constexpr const char* kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr const char* kBorder = "0.25mm solid #000000";

std::string manifest(const char* mediaType, const std::vector<std::string>& pictures) {
    std::string out =
        std::string(kXmlDeclaration) +
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.2\"><manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
        "manifest:media-type=\"" +
        std::string(mediaType) +
        "\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
        "<manifest:file-entry manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/>";
    for (const auto& p : pictures)
        out += "<manifest:file-entry manifest:full-path=\"" + p + "\" manifest:media-type=\"image/png\"/>";
    return out + "</manifest:manifest>";
}

// The mimetype entry comes first and uncompressed, so that the type can be read at offset 38.
bool writePackage(const std::string& path, const char* mediaType, const std::string& content,
                  const std::string& styles,
                  const std::vector<std::pair<std::string, std::vector<uint8_t>>>& pictures,
                  std::string& error) {
    std::vector<std::string> names;
    for (const auto& p : pictures) names.push_back(p.first);
    ZipPackage package;
    bool written = package.Open(path) && package.Add("mimetype", mediaType, true) &&
                   package.Add("META-INF/manifest.xml", manifest(mediaType, names)) &&
                   package.Add("content.xml", content) && package.Add("styles.xml", styles);
    for (const auto& [name, png] : pictures) written = written && package.Add(name, png);
    if (!written || !package.Commit()) {
        error = package.error();
        return false;
    }
    return true;
}

// Paragraph text: readers collapse runs of spaces and drop leading ones, so every space after
// the first of a run (and a leading one) is written as <text:s/>; tabs and line breaks as elements.
std::string odfText(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ') {
            size_t run = 0;
            while (i + run < text.size() && text[i + run] == ' ') ++run;
            size_t plain = (i == 0) ? 0 : 1;
            if (plain) out += ' ';
            if (run > plain) out += "<text:s text:c=\"" + std::to_string(run - plain) + "\"/>";
            i += run;
            continue;
        }
        if (c == '\t')
            out += "<text:tab/>";
        else if (c == '\n')
            out += "<text:line-break/>";
        else if (c != '\r')
            out += XmlEscape(std::string_view(&text[i], 1));
        ++i;
    }
    return out;
}

std::string paragraph(const std::string& text, const std::string& style = {}) {
    const std::string attr = style.empty() ? std::string() : " text:style-name=\"" + style + "\"";
    if (text.empty()) return "<text:p" + attr + "/>";
    return "<text:p" + attr + ">" + odfText(text) + "</text:p>";
}

std::string stringCell(const std::string& text, const std::string& style) {
    return "<table:table-cell table:style-name=\"" + style + "\" office:value-type=\"string\">" +
           paragraph(text) + "</table:table-cell>";
}

std::string footerParagraphs(const std::string& videoPath, const SceneExportInfo& info) {
    std::string out;
    size_t start = 0;
    const std::string text = DocumentFooterText(videoPath, info);
    for (;;) {
        const size_t end = text.find('\n', start);
        out += paragraph(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return out;
        start = end + 1;
    }
}

constexpr const char* kPageNumbers =
    "Page <text:page-number text:select-page=\"current\">1</text:page-number> sur "
    "<text:page-count>1</text:page-count>";

// Characters a sheet name may not hold.
std::string sheetName(const std::string& videoPath) {
    std::string name = FileNameOf(videoPath, false);
    for (char& c : name)
        if (std::string_view("[]*?:/\\'").find(c) != std::string_view::npos) c = '_';
    return name.empty() ? std::string("Feuille1") : name;
}

}  // namespace

bool TWriteOoCalc::Finish() {
    // Cell styles by key: heading / grey, then borders left (always), right, top, bottom.
    enum : unsigned { Heading = 1, Grey = 2, Right = 4, Top = 8, Bottom = 16 };
    std::map<unsigned, std::string> cellStyles;
    auto styleOf = [&](unsigned key) {
        auto [it, added] = cellStyles.try_emplace(key, "ce" + std::to_string(key));
        (void)added;
        return it->second;
    };
    constexpr int kFirstRowOfScenes = 8;
    const size_t lastRow = 7 + scenes_.size();
    std::vector<size_t> widths(8, 0);
    std::string rows;
    auto tableRow = [&](size_t sheetRow, const std::vector<std::string>& values, unsigned base) {
        std::string row = "<table:table-row><table:table-cell/>";
        for (size_t c = 0; c < values.size(); ++c) {
            unsigned key = base;
            if (c + 1 == values.size()) key |= Right;
            if (sheetRow == 7) key |= Top | Bottom;
            if (sheetRow == lastRow) key |= Bottom;
            widths[c] = std::max(widths[c], Utf8ToUtf16(values[c]).size());
            row += stringCell(values[c], styleOf(key));
        }
        return row + "</table:table-row>";
    };
    // Rows 2 to 4: the notes and the link, shown on screen but not printed.
    rows += "<table:table-row><table:table-cell/></table:table-row>";
    rows += "<table:table-row><table:table-cell/>" +
            stringCell("NB:L'en-tête et pied de page contiennent le nom du fichier.", "ceNote") +
            "</table:table-row>";
    rows += std::string(
                "<table:table-row><table:table-cell/><table:table-cell table:style-name=\"ceLink\" "
                "office:value-type=\"string\"><text:p><text:a xlink:type=\"simple\" xlink:href=\"") +
            XmlEscape(product::kWebAddress) + "\">Visitez le site web de " + XmlEscape(info_.maker) +
            "</text:a></text:p></table:table-cell></table:table-row>";
    rows += "<table:table-row><table:table-cell/>" +
            stringCell("(ceci sera masqué à l'impression.)", "ceSmall") + "</table:table-row>";
    rows += "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell/></table:table-row>";
    rows += tableRow(7, {"Numéro", "Début", "Fin", "Durée", "Datecode", "Timecode", "Titre", "Sous-titre"},
                     Heading);
    for (size_t i = 0; i < scenes_.size(); ++i) {
        const TSceneClass& s = scenes_[i];
        rows += tableRow(kFirstRowOfScenes + i,
                         {std::to_string(s.Numero), s.TimeStamp, s.TimeStampFin, s.Duree, s.DatecodeText,
                          s.TimecodeText, s.Titre, s.SousTitre},
                         (i % 2 == 1) ? unsigned(Grey) : 0u);
    }

    std::string styles =
        "<style:style style:name=\"ta1\" style:family=\"table\" style:master-page-name=\"Default\">"
        "<style:table-properties table:display=\"true\"/></style:style>"
        "<style:style style:name=\"coA\" style:family=\"table-column\">"
        "<style:table-column-properties style:column-width=\"2.26cm\"/></style:style>"
        "<style:style style:name=\"ceNote\" style:family=\"table-cell\"><style:table-cell-properties "
        "style:print-content=\"false\"/><style:text-properties fo:font-size=\"10pt\"/></style:style>"
        "<style:style style:name=\"ceLink\" style:family=\"table-cell\"><style:table-cell-properties "
        "style:print-content=\"false\"/><style:text-properties fo:font-size=\"12pt\" "
        "fo:font-weight=\"bold\"/>"
        "</style:style>"
        "<style:style style:name=\"ceSmall\" style:family=\"table-cell\"><style:table-cell-properties "
        "style:print-content=\"false\"/><style:text-properties fo:font-size=\"8pt\"/></style:style>";
    std::string columns = "<table:table-column table:style-name=\"coA\"/>";
    for (size_t c = 0; c < widths.size(); ++c) {
        const double cm = 0.5 + 0.21 * double(std::min<size_t>(widths[c], 80));
        char width[32];
        std::snprintf(width, sizeof width, "%.2fcm", cm);
        styles += "<style:style style:name=\"co" + std::to_string(c) +
                  "\" style:family=\"table-column\"><style:table-column-properties style:column-width=\"" +
                  width + "\"/></style:style>";
        columns += "<table:table-column table:style-name=\"co" + std::to_string(c) + "\"/>";
    }
    for (const auto& [key, name] : cellStyles) {
        std::string cell = "<style:table-cell-properties fo:border-left=\"" + std::string(kBorder) + "\"";
        if (key & Right) cell += std::string(" fo:border-right=\"") + kBorder + "\"";
        if (key & Top) cell += std::string(" fo:border-top=\"") + kBorder + "\"";
        if (key & Bottom) cell += std::string(" fo:border-bottom=\"") + kBorder + "\"";
        if (key & Heading) cell += " fo:background-color=\"#fafa80\"";
        if (key & Grey) cell += " fo:background-color=\"#e6e6e6\"";
        cell += "/>";
        if (key & Heading)
            cell +=
                "<style:text-properties fo:font-size=\"12pt\" fo:color=\"#0000ff\" fo:font-weight=\"bold\"/>";
        styles +=
            "<style:style style:name=\"" + name + "\" style:family=\"table-cell\">" + cell + "</style:style>";
    }

    const std::string content =
        std::string(kXmlDeclaration) + "<office:document-content " + kOdfNs + "><office:automatic-styles>" +
        styles + "</office:automatic-styles><office:body><office:spreadsheet><table:table table:name=\"" +
        XmlEscape(sheetName(videoPath_)) + "\" table:style-name=\"ta1\">" + columns + rows +
        "</table:table></office:spreadsheet></office:body></office:document-content>";

    const std::string lowerPath = LowerCaseText(videoPath_);
    const std::string pageStyles =
        std::string(kXmlDeclaration) + "<office:document-styles " + kOdfNs +
        "><office:automatic-styles><style:page-layout style:name=\"pm1\"><style:page-layout-properties "
        "fo:page-width=\"29.7cm\" fo:page-height=\"21cm\" style:print-orientation=\"landscape\" "
        "fo:margin-top=\"1cm\" fo:margin-bottom=\"1cm\" fo:margin-left=\"1.5cm\" fo:margin-right=\"1.5cm\"/>"
        "<style:header-style><style:header-footer-properties fo:min-height=\"0.75cm\" "
        "fo:margin-bottom=\"0.25cm\"/>"
        "</style:header-style><style:footer-style><style:header-footer-properties fo:min-height=\"0.75cm\" "
        "fo:margin-top=\"0.25cm\"/></style:footer-style></style:page-layout>"
        "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties "
        "fo:font-family=\"Arial\" "
        "fo:font-size=\"12pt\" fo:font-weight=\"bold\" fo:font-style=\"normal\" "
        "fo:color=\"#0000ff\"/></style:style>"
        "<style:style style:name=\"T2\" style:family=\"text\"><style:text-properties "
        "fo:font-family=\"Arial\" "
        "fo:font-size=\"8pt\" fo:font-weight=\"normal\" fo:font-style=\"italic\" "
        "fo:color=\"#000000\"/></style:style>"
        "</office:automatic-styles><office:master-styles><style:master-page style:name=\"Default\" "
        "style:page-layout-name=\"pm1\"><style:header><style:region-center><text:p><text:span "
        "text:style-name=\"T1\">" +
        odfText(lowerPath) +
        "</text:span></text:p></style:region-center></style:header><style:footer>"
        "<style:region-left>" +
        footerParagraphs(videoPath_, info_) + "</style:region-left><style:region-right><text:p>" +
        kPageNumbers +
        "</text:p></style:region-right></style:footer></style:master-page></office:master-styles>"
        "</office:document-styles>";
    return writePackage(outputPath_, "application/vnd.oasis.opendocument.spreadsheet", content, pageStyles,
                        {}, error_);
}

bool TWriteOoWriter::Finish() {
    // A4 portrait with 2 cm margins: 17 cm of text width, four columns of 4.25 cm.
    constexpr double kPictureWidthCm = 3.9;
    std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures;
    const size_t count = std::max(scenes_.size(), size_t(announced_ > 0 ? announced_ : 0));
    const size_t lines = (count + 3) / 4;
    std::string body =
        paragraph(FileNameOf(videoPath_, true), "PTitle") + "<text:p text:style-name=\"PGap\"/>";
    if (lines > 0) {
        body +=
            "<table:table table:name=\"Scenes\" table:style-name=\"Outer\">"
            "<table:table-column table:style-name=\"OuterCol\" table:number-columns-repeated=\"4\"/>";
        for (size_t line = 0; line < lines; ++line) {
            body += "<table:table-row table:style-name=\"OuterRow\">";
            for (size_t c = 0; c < 4; ++c) {
                const size_t index = line * 4 + c;
                body += "<table:table-cell table:style-name=\"OuterCell\" office:value-type=\"string\">";
                if (index < scenes_.size()) {
                    const TSceneClass& s = scenes_[index];
                    const std::string n = std::to_string(index + 1);
                    std::string picture = "<text:p text:style-name=\"PImage\"/>";
                    if (!s.Image.empty()) {
                        const std::string name = "Pictures/scene" + n + ".png";
                        pictures.emplace_back(name, EncodePng(s.Image));
                        char size[96];
                        std::snprintf(size, sizeof size, "svg:width=\"%.2fcm\" svg:height=\"%.2fcm\"",
                                      kPictureWidthCm, kPictureWidthCm * s.Image.height / s.Image.width);
                        picture =
                            "<text:p text:style-name=\"PImage\"><draw:frame draw:style-name=\"fr1\" "
                            "draw:name=\"Image" +
                            n + "\" text:anchor-type=\"as-char\" " + size +
                            " draw:z-index=\"0\"><draw:image xlink:href=\"" + name +
                            "\" xlink:type=\"simple\" xlink:show=\"embed\" xlink:actuate=\"onLoad\"/>"
                            "</draw:frame></text:p>";
                    }
                    std::string texts;
                    for (const auto& l : SceneTextLines(s)) texts += paragraph(l, "PCell");
                    body +=
                        "<table:table table:name=\"Scene" + n +
                        "\" table:style-name=\"Inner\"><table:table-column table:style-name=\"InnerCol\"/>"
                        "<table:table-row><table:table-cell table:style-name=\"InnerTop\" "
                        "office:value-type=\"string\">" +
                        paragraph("Scène n°" + std::to_string(s.Numero), "PCell") +
                        "</table:table-cell></table:table-row><table:table-row><table:table-cell "
                        "table:style-name=\"InnerMiddle\" office:value-type=\"string\">" +
                        picture +
                        "</table:table-cell></table:table-row><table:table-row><table:table-cell "
                        "table:style-name=\"InnerBottom\" office:value-type=\"string\">" +
                        texts + "</table:table-cell></table:table-row></table:table>";
                }
                body += "<text:p text:style-name=\"PTiny\"/></table:table-cell>";
            }
            body += "</table:table-row>";
        }
        body += "</table:table>";
    }
    const std::string side = std::string("\"") + kBorder + "\"";
    const std::string styles =
        "<style:style style:name=\"PTitle\" style:family=\"paragraph\"><style:text-properties "
        "fo:font-family=\"Arial\" "
        "fo:font-size=\"16pt\" fo:color=\"#800000\" fo:font-weight=\"bold\" "
        "fo:font-style=\"normal\"/></style:style>"
        "<style:style style:name=\"PGap\" style:family=\"paragraph\"><style:text-properties "
        "fo:font-size=\"6pt\"/>"
        "</style:style>"
        "<style:style style:name=\"PCell\" style:family=\"paragraph\"><style:paragraph-properties "
        "fo:text-align=\"start\"/>"
        "<style:text-properties fo:font-family=\"Arial\" fo:font-size=\"8pt\" fo:font-weight=\"normal\" "
        "fo:font-style=\"normal\"/></style:style>"
        "<style:style style:name=\"PImage\" style:family=\"paragraph\"><style:text-properties "
        "fo:font-size=\"1pt\"/>"
        "</style:style>"
        "<style:style style:name=\"PTiny\" style:family=\"paragraph\"><style:text-properties "
        "fo:font-size=\"1pt\"/>"
        "</style:style>"
        "<style:style style:name=\"Outer\" style:family=\"table\"><style:table-properties "
        "style:width=\"17cm\" "
        "table:align=\"margins\" fo:margin-left=\"0cm\" fo:margin-right=\"0cm\" fo:margin-top=\"0cm\" "
        "fo:margin-bottom=\"0cm\"/></style:style>"
        "<style:style style:name=\"OuterCol\" style:family=\"table-column\"><style:table-column-properties "
        "style:column-width=\"4.25cm\"/></style:style>"
        "<style:style style:name=\"OuterRow\" style:family=\"table-row\"><style:table-row-properties "
        "fo:keep-together=\"always\"/></style:style>"
        "<style:style style:name=\"OuterCell\" style:family=\"table-cell\"><style:table-cell-properties "
        "fo:padding=\"0.075cm\" fo:border=\"none\"/></style:style>"
        "<style:style style:name=\"Inner\" style:family=\"table\"><style:table-properties "
        "style:width=\"4.1cm\" "
        "table:align=\"left\" style:may-break-between-rows=\"false\"/></style:style>"
        "<style:style style:name=\"InnerCol\" style:family=\"table-column\"><style:table-column-properties "
        "style:column-width=\"4.1cm\"/></style:style>"
        "<style:style style:name=\"InnerTop\" style:family=\"table-cell\"><style:table-cell-properties "
        "fo:padding=\"0.025cm\" fo:border-left=" +
        side + " fo:border-right=" + side + " fo:border-top=" + side +
        " fo:border-bottom=\"none\"/></style:style>"
        "<style:style style:name=\"InnerMiddle\" style:family=\"table-cell\"><style:table-cell-properties "
        "fo:padding=\"0.025cm\" fo:border-left=" +
        side + " fo:border-right=" + side +
        " fo:border-top=\"none\" fo:border-bottom=\"none\"/></style:style>"
        "<style:style style:name=\"InnerBottom\" style:family=\"table-cell\"><style:table-cell-properties "
        "fo:padding=\"0.025cm\" fo:border-left=" +
        side + " fo:border-right=" + side + " fo:border-bottom=" + side +
        " fo:border-top=\"none\"/></style:style>"
        "<style:style style:name=\"fr1\" style:family=\"graphic\"><style:graphic-properties "
        "style:vertical-pos=\"top\" style:vertical-rel=\"baseline\"/></style:style>";
    const std::string content = std::string(kXmlDeclaration) + "<office:document-content " + kOdfNs +
                                "><office:automatic-styles>" + styles +
                                "</office:automatic-styles><office:body><office:text>" + body +
                                "</office:text></office:body></office:document-content>";

    std::string footer;
    const std::string text = DocumentFooterText(videoPath_, info_);
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        footer += odfText(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        footer += "<text:line-break/>";
        start = end + 1;
    }
    footer += std::string("<text:tab/><text:tab/>") + kPageNumbers;
    const std::string pageStyles =
        std::string(kXmlDeclaration) + "<office:document-styles " + kOdfNs +
        "><office:styles><style:style style:name=\"Footer\" "
        "style:family=\"paragraph\"><style:text-properties "
        "fo:font-family=\"Arial\" fo:font-size=\"8pt\" fo:font-style=\"italic\" fo:font-weight=\"normal\" "
        "fo:color=\"#000000\"/></style:style></office:styles><office:automatic-styles><style:page-layout "
        "style:name=\"pm1\"><style:page-layout-properties fo:page-width=\"21cm\" fo:page-height=\"29.7cm\" "
        "style:print-orientation=\"portrait\" fo:margin-top=\"2cm\" fo:margin-bottom=\"1.5cm\" "
        "fo:margin-left=\"2cm\" "
        "fo:margin-right=\"2cm\"/><style:footer-style><style:header-footer-properties fo:min-height=\"0cm\" "
        "fo:margin-top=\"0.5cm\"/></style:footer-style></style:page-layout></office:automatic-styles>"
        "<office:master-styles><style:master-page style:name=\"Standard\" "
        "style:page-layout-name=\"pm1\"><style:footer>"
        "<text:p text:style-name=\"Footer\">" +
        footer +
        "</text:p></style:footer></style:master-page></office:master-styles></office:document-styles>";
    return writePackage(outputPath_, "application/vnd.oasis.opendocument.text", content, pageStyles, pictures,
                        error_);
}

}  // namespace velinor
