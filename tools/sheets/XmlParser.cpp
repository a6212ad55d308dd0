#include "XmlParser.h"

#include <algorithm>
#include <climits>
#include <expat.h>
#include <strings.h>

#include "CellText.h"
#include "ServiceLimits.h"

namespace sheets {

namespace {

constexpr char Separator = '\x01';

XML_Parser P(void* p) {
    return static_cast<XML_Parser>(p);
}

} // namespace

QName SplitName(const char* name) {
    const std::string_view s(name);
    const size_t a = s.find(Separator);
    if (a == std::string_view::npos)
        return {{}, s, {}};
    const size_t b = s.find(Separator, a + 1);
    if (b == std::string_view::npos)
        return {s.substr(0, a), s.substr(a + 1), {}};
    return {s.substr(0, a), s.substr(a + 1, b - a - 1), s.substr(b + 1)};
}

void AppendQName(std::string& out, const QName& n) {
    if (!n.prefix.empty()) {
        out += n.prefix;
        out += ':';
    }
    out += n.local;
}

void AppendNamespaces(std::string& out, const Namespaces& namespaces) {
    for (const auto& [prefix, uri] : namespaces) {
        out += " xmlns";
        if (!prefix.empty()) {
            out += ':';
            out += prefix;
        }
        out += "=\"";
        AppendXml(out, uri, XmlEscape::Attribute);
        out += '"';
    }
}

void AppendAttribute(std::string& out, const QName& name, std::string_view value) {
    out += ' ';
    AppendQName(out, name);
    out += "=\"";
    AppendXml(out, value, XmlEscape::Attribute);
    out += '"';
}

struct XmlParser::Callbacks {
    static XmlParser& Self(void* user) { return *static_cast<XmlParser*>(user); }
    static void Start(void* user, const XML_Char* name, const XML_Char** atts) {
        Self(user).noteEvent();
        Self(user).startElement(name, atts);
    }
    static void End(void* user, const XML_Char* name) {
        Self(user).noteEvent();
        Self(user).endElement(name);
    }
    static void Text(void* user, const XML_Char* s, int len) {
        Self(user).noteEvent();
        Self(user).characters(std::string_view(s, size_t(len)));
    }
    static void Namespace(void* user, const XML_Char* prefix, const XML_Char* uri) {
        Self(user).noteEvent();
        Self(user).startNamespace(prefix, uri);
    }
    static void Other(void* user, const XML_Char*, const XML_Char*) { Self(user).noteEvent(); }
    static void Comment(void* user, const XML_Char*) { Self(user).noteEvent(); }
    static void Declaration(void* user, const XML_Char*, const XML_Char* encoding, int) {
        Self(user).noteEvent();
        if (encoding && strcasecmp(encoding, "UTF-8") != 0)
            Self(user).stop(std::string("the part is in ") + encoding + ", not UTF-8");
    }
    static void Doctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        Self(user).stop("a document type declaration is not allowed in a workbook part");
    }
};

XmlParser::XmlParser() {
    // The encoding is fixed: a part that declares another one is refused in Declaration().
    XML_Parser p = XML_ParserCreateNS("UTF-8", Separator);
    parser_ = p;
    if (!p)
        return;
    XML_SetReturnNSTriplet(p, XML_TRUE);
    XML_SetUserData(p, this);
    XML_SetElementHandler(p, Callbacks::Start, Callbacks::End);
    XML_SetCharacterDataHandler(p, Callbacks::Text);
    XML_SetStartNamespaceDeclHandler(p, Callbacks::Namespace);
    XML_SetProcessingInstructionHandler(p, Callbacks::Other);
    XML_SetCommentHandler(p, Callbacks::Comment);
    XML_SetXmlDeclHandler(p, Callbacks::Declaration);
    XML_SetStartDoctypeDeclHandler(p, Callbacks::Doctype);
}

XmlParser::~XmlParser() {
    if (parser_)
        XML_ParserFree(P(parser_));
}

void XmlParser::noteEvent() {
    lastEvent_ = static_cast<unsigned long long>(XML_GetCurrentByteIndex(P(parser_)));
}

bool XmlParser::startTagEndsInput() const {
    XML_Parser p = P(parser_);
    const XML_Index at = XML_GetCurrentByteIndex(p);
    return at >= 0 && static_cast<unsigned long long>(at) +
                              static_cast<unsigned long long>(XML_GetCurrentByteCount(p)) ==
                          feedEnd_;
}

void XmlParser::stop(const std::string& why) {
    if (!error_.empty())
        return;
    XML_Parser p = P(parser_);
    error_ = why + " (line " + std::to_string(XML_GetCurrentLineNumber(p)) + ", column " +
             std::to_string(XML_GetCurrentColumnNumber(p) + 1) + ")";
    XML_StopParser(p, XML_FALSE);
}

bool XmlParser::feed(const char* data, size_t size, bool last) {
    if (!parser_ && error_.empty())
        error_ = "no memory for the XML parser";
    if (!error_.empty())
        return false;
    XML_Parser p = P(parser_);
    constexpr size_t Slice = 1u << 20;
    do {
        const size_t n = std::min(size, Slice);
        const bool final = last && n == size;
        feedEnd_ = fed_ + n;
        if (XML_Parse(p, data, int(n), final ? XML_TRUE : XML_FALSE) == XML_STATUS_ERROR) {
            if (error_.empty())
                error_ = std::string(XML_ErrorString(XML_GetErrorCode(p))) + " (line " +
                         std::to_string(XML_GetErrorLineNumber(p)) + ", column " +
                         std::to_string(XML_GetErrorColumnNumber(p) + 1) + ")";
            return false;
        }
        data += n;
        size -= n;
        fed_ += n;
        // Markup the parser still holds unreported keeps growing its buffer: stop it here.
        if (fed_ - lastEvent_ > limits::XmlTokenBytes) {
            error_ = "a piece of markup longer than " +
                     std::to_string(limits::XmlTokenBytes >> 20) + " MiB";
            return false;
        }
    } while (size > 0);
    return error_.empty();
}

std::string XmlProblem(std::string_view xml) {
    XmlParser parser;
    parser.feed(xml.data(), xml.size(), true);
    return parser.error();
}

} // namespace sheets
