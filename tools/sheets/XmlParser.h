#pragma once
// A streaming, namespace-aware XML parser (expat) with the rules of a workbook part: UTF-8, no
// document type declaration (so no entities to expand), and no single piece of markup larger
// than MaxXmlTokenBytes, so that neither the parser nor its caller holds more than that at once.
// Element and attribute names arrive as "uri\1local\1prefix" (QName() splits them).
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sheets {

struct QName {
    std::string_view uri;    // empty: no namespace
    std::string_view local;  // the name without its prefix
    std::string_view prefix; // as written, empty for none
};
QName SplitName(const char* name);
// "prefix:local", or "local".
void AppendQName(std::string& out, const QName& n);
// Namespace declarations (prefix, uri; an empty prefix is the default namespace) and an
// attribute, as they stand in a start tag, each with its leading blank.
using Namespaces = std::vector<std::pair<std::string, std::string>>;
void AppendNamespaces(std::string& out, const Namespaces& namespaces);
void AppendAttribute(std::string& out, const QName& name, std::string_view value);
// An attribute as reported: its name split, its value with references resolved.
struct XmlAttribute {
    QName name;
    std::string_view value;
};
using XmlAttributes = std::span<const XmlAttribute>;

class XmlParser {
public:
    XmlParser();
    virtual ~XmlParser();
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    // Parses the next piece of the document (last: nothing follows). False once the document
    // broke a rule or a handler stopped it; error() then says why and where.
    bool feed(const char* data, size_t size, bool last);
    const std::string& error() const { return error_; }

protected:
    // atts: name, value, name, value, ..., null. Namespace declarations come first, each
    // through startNamespace(), and are not among atts.
    virtual void startElement(const char* /*name*/, const char** /*atts*/) {}
    virtual void endElement(const char* /*name*/) {}
    // Text of an element, in pieces.
    virtual void characters(std::string_view /*text*/) {}
    // prefix null: the default namespace; uri null: undeclared.
    virtual void startNamespace(const char* /*prefix*/, const char* /*uri*/) {}
    // Ends the parse with the reason (and the place it was found at).
    void stop(const std::string& why);
    // Whether the element being started ends with the last byte fed so far.
    bool startTagEndsInput() const;
    // The document as a whole broke a rule (after its last byte).
    void fail(const std::string& why) {
        if (error_.empty())
            error_ = why;
    }

private:
    struct Callbacks;
    void* parser_;
    std::string error_;
    unsigned long long fed_ = 0;
    unsigned long long feedEnd_ = 0;   // fed_ once the piece being parsed is through
    unsigned long long lastEvent_ = 0; // where the parser last reported something
    void noteEvent();
};

// Empty when the text is a well-formed part by the rules above, else why not.
std::string XmlProblem(std::string_view xml);

} // namespace sheets
