#include "PackageParts.h"

#include <algorithm>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>

#include "CellText.h"
#include "XmlParser.h"

namespace sheets {

namespace {

std::string_view Local(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

bool EndsWith(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string Folder(const std::string& part) {
    const size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// The part that holds a part's relationships: "_rels/<name>.rels" in its folder.
std::string RelationshipsPart(const std::string& part) {
    const std::string folder = Folder(part);
    return folder + "_rels/" + part.substr(folder.size()) + ".rels";
}

// A relationship target relative to the folder of its source part, as a zip entry name.
std::string Resolve(const std::string& folder, std::string target) {
    std::string path = target.starts_with('/') ? target.substr(1) : folder + target;
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string piece = path.substr(start, end - start);
        if (piece == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

// A part as a document tree; why not when it is missing, over the limits or not well-formed
// (an error without text when the tree cannot be built of well-formed XML).
Result<> Load(pugi::xml_document& doc, const ZipPackage& zip, const std::string& part) {
    const auto bytes = ReadXmlPart(zip, part);
    if (!bytes)
        return tl::unexpected(bytes.error());
    if (!doc.load_buffer(bytes->data(), bytes->size()))
        return Fail(QString());
    return {};
}

std::string ItemText(const pugi::xml_node& item) {
    std::string out;
    for (const pugi::xml_node& c : item.children()) {
        const std::string_view n = Local(c.name());
        if (n == "t")
            out += c.text().get();
        else if (n == "r")
            for (const pugi::xml_node& t : c.children())
                if (Local(t.name()) == "t")
                    out += t.text().get();
    }
    return DecodeUnderscoreEscapes(out);
}

} // namespace

Result<std::vector<std::pair<std::string, std::string>>> Relationships(const ZipPackage& zip,
                                                                       const std::string& part) {
    const std::string folder = Folder(part);
    const std::string relsPart = RelationshipsPart(part);
    pugi::xml_document doc;
    std::vector<std::pair<std::string, std::string>> out;
    if (!zip.contains(relsPart))
        return out;
    if (const Result<> loaded = Load(doc, zip, relsPart); !loaded)
        return tl::unexpected(loaded.error());
    for (const pugi::xml_node& r : doc.document_element().children())
        if (Local(r.name()) == "Relationship" &&
            std::string_view(r.attribute("TargetMode").value()) != "External")
            out.emplace_back(r.attribute("Type").value(),
                             Resolve(folder, r.attribute("Target").value()));
    return out;
}

Result<std::string> ReadXmlPart(const ZipPackage& zip, const std::string& part) {
    auto bytes = zip.read(part);
    if (!bytes)
        return bytes;
    const std::string problem = XmlProblem(*bytes);
    if (problem.empty())
        return bytes;
    return Fail(QString::fromStdString("the part " + part + " is not well-formed: " + problem));
}

Result<PackageLayout> ReadLayout(const ZipPackage& zip) {
    const auto fail = [](const std::string& why) { return Fail(QString::fromStdString(why)); };
    PackageLayout out;
    // Relationships whose tree cannot be built (no text) count as none.
    const auto packageRels = Relationships(zip, "");
    if (!packageRels && !packageRels.error().text.isEmpty())
        return tl::unexpected(packageRels.error());
    std::string workbook;
    for (const auto& [type, target] :
         packageRels.value_or(std::vector<std::pair<std::string, std::string>>()))
        if (EndsWith(type, "/officeDocument"))
            workbook = target;
    pugi::xml_document doc;
    if (workbook.empty())
        return fail("the file holds no workbook");
    if (const Result<> loaded = Load(doc, zip, workbook); !loaded)
        return tl::unexpected(loaded.error());
    std::vector<std::pair<std::string, std::string>> rels;
    std::vector<std::string> relIds;
    {
        const std::string folder = Folder(workbook);
        const std::string relsPart = RelationshipsPart(workbook);
        out.workbookRels = relsPart;
        pugi::xml_document r;
        if (zip.contains(relsPart))
            if (const Result<> loaded = Load(r, zip, relsPart); !loaded)
                return tl::unexpected(loaded.error());
        for (const pugi::xml_node& n : r.document_element().children()) {
            rels.emplace_back(n.attribute("Type").value(),
                              Resolve(folder, n.attribute("Target").value()));
            relIds.push_back(n.attribute("Id").value());
        }
    }
    for (size_t i = 0; i < rels.size(); ++i) {
        if (EndsWith(rels[i].first, "/styles"))
            out.styles = rels[i].second;
        else if (EndsWith(rels[i].first, "/sharedStrings"))
            out.sharedStrings = rels[i].second;
        else if (EndsWith(rels[i].first, "/calcChain"))
            out.calcChain = rels[i].second;
    }
    for (const pugi::xml_node& sheets : doc.document_element().children()) {
        if (Local(sheets.name()) != "sheets")
            continue;
        for (const pugi::xml_node& s : sheets.children()) {
            std::string id;
            for (const pugi::xml_attribute& a : s.attributes())
                if (std::strchr(a.name(), ':') && Local(a.name()) == "id")
                    id = a.value();
            for (size_t i = 0; i < rels.size(); ++i) {
                if (relIds[i] != id || !EndsWith(rels[i].first, "/worksheet"))
                    continue;
                for (const SheetEntry& e : out.sheets)
                    if (e.part == rels[i].second)
                        return fail("two sheets share the part " + e.part);
                if (!zip.contains(rels[i].second))
                    return fail("the sheet " + std::string(s.attribute("name").value()) +
                                " is missing from the file");
                out.sheets.push_back({s.attribute("name").value(), rels[i].second});
            }
        }
    }
    if (out.sheets.empty())
        return fail("the workbook has no worksheet");
    return out;
}

namespace {
// The document without the children of its root element that `drop` picks, written back out.
template <class Pick> std::string WithoutChildren(const std::string& xml, Pick drop) {
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_declaration))
        return xml;
    pugi::xml_node root = doc.document_element();
    for (pugi::xml_node n = root.first_child(); n;) {
        const pugi::xml_node next = n.next_sibling();
        if (drop(n))
            root.remove_child(n);
        n = next;
    }
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
}
} // namespace

std::string WithoutCalcChainRelationship(const std::string& relsXml) {
    return WithoutChildren(relsXml, [](const pugi::xml_node& n) {
        return EndsWith(n.attribute("Type").value(), "/calcChain");
    });
}

std::string WithoutContentType(const std::string& contentTypesXml, const std::string& part) {
    const std::string name = '/' + part;
    return WithoutChildren(contentTypesXml, [&](const pugi::xml_node& n) {
        return Local(n.name()) == "Override" && n.attribute("PartName").value() == name;
    });
}

std::vector<bool> ReadTextStyles(const std::string& xml) {
    pugi::xml_document doc;
    std::vector<bool> out;
    if (!doc.load_buffer(xml.data(), xml.size()))
        return out;
    std::vector<uint32_t> textFormats{49}; // the built-in "@"
    for (const pugi::xml_node& part : doc.document_element().children()) {
        const std::string_view n = Local(part.name());
        if (n == "numFmts") {
            for (const pugi::xml_node& f : part.children())
                if (std::string_view(f.attribute("formatCode").value()) == "@")
                    textFormats.push_back(f.attribute("numFmtId").as_uint());
        } else if (n == "cellXfs") {
            for (const pugi::xml_node& xf : part.children()) {
                const uint32_t id = xf.attribute("numFmtId").as_uint(0);
                out.push_back(std::find(textFormats.begin(), textFormats.end(), id) !=
                              textFormats.end());
            }
        }
    }
    return out;
}

std::vector<std::string> ReadSharedStrings(const std::string& xml) {
    pugi::xml_document doc;
    std::vector<std::string> out;
    if (doc.load_buffer(xml.data(), xml.size()))
        for (const pugi::xml_node& si : doc.document_element().children())
            if (Local(si.name()) == "si")
                out.push_back(ItemText(si));
    return out;
}

} // namespace sheets

namespace sheets {

std::string RawCellText(std::string_view attrs, std::string_view inner,
                        const std::vector<std::string>& sharedStrings) {
    std::string xml = "<c";
    xml += attrs;
    xml += '>';
    xml += inner;
    xml += "</c>";
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size()))
        return {};
    const pugi::xml_node c = doc.document_element();
    const std::string_view type = c.attribute("t").value();
    pugi::xml_node v, f, is;
    for (const pugi::xml_node& n : c.children()) {
        const std::string_view name = Local(n.name());
        if (name == "v")
            v = n;
        else if (name == "f")
            f = n;
        else if (name == "is")
            is = n;
    }
    if (type == "inlineStr")
        return is ? ItemText(is) : std::string();
    if (type == "s") {
        const size_t i = v.text().as_ullong(sharedStrings.size());
        return i < sharedStrings.size() ? sharedStrings[i] : std::string();
    }
    if (v)
        return type == "str" ? DecodeUnderscoreEscapes(v.text().get()) : v.text().get();
    if (f)
        return std::string("=") + f.text().get();
    return {};
}

} // namespace sheets
