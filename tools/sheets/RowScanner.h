#pragma once
// Reads the rows inside a sheet's sheetData straight from the part's bytes, without the XML
// parser: a million-row sheet is almost all rows, and they come in a plain form. It reports the
// same events the parser would, and gives up on what it does not take (comments, processing
// instructions, CDATA, namespace declarations, entity or line-end forms that need more than a
// copy, names beyond ASCII, and anything that breaks the rules of XML); the part is then read
// again by the parser alone, which takes it or says why not.
#include <string>
#include <string_view>
#include <vector>

#include "XmlParser.h"

namespace sheets {

class RowScanner {
public:
    // Where the events go; each returns false to stop the scan.
    class Events {
    public:
        virtual bool open(const QName& name, XmlAttributes atts) = 0;
        virtual bool close(const QName& name) = 0;
        virtual bool text(std::string_view text) = 0;
        // An element without attributes that holds only text of printable ASCII without
        // markup characters (a cell's <v>1.5</v>), as written: what open, text and close of it
        // would make, in one event.
        virtual bool plainElement(const QName& name, std::string_view xml) = 0;

    protected:
        ~Events() = default;
    };
    // scope: the namespaces declared on the worksheet and on sheetData, in that order;
    // sheetData: its name as written.
    RowScanner(Events& events, Namespaces scope, std::string sheetData);

    enum class Status { More, Done, GaveUp };
    // Takes the next bytes after the sheetData start tag, advancing data and size past what it
    // has read; it keeps an incomplete row until its end comes. Done: sheetData ends here, with
    // its end tag at before() and then at data.
    Status feed(const char*& data, size_t& size);
    std::string_view before() const { return before_; }

private:
    Events& events_;
    Namespaces scope_;
    std::string endTag_; // "</" and sheetData's name
    std::string carry_;  // the incomplete row
    std::string_view before_;
    // The last prefix looked up, and its namespace.
    std::string_view cachedPrefix_, cachedUri_;
    bool cached_ = false;
    bool short_ = false; // the last read ran into the end of the bytes
    std::vector<XmlAttribute> atts_;
    std::vector<QName> open_; // the elements open inside a row
    std::string text_;        // a text with its references resolved

    struct Tag {
        QName name;
        bool empty = false;
    };
    Status scan(const char* p, const char* end, const char*& at);
    const char* startTag(const char* p, const char* end, Tag& tag);
    const char* endTag(const char* p, const char* end, const QName& name);
    const char* name(const char* p, const char* end, QName& n);
    bool resolve(QName& n, bool attribute);
    bool readRow(const char* p, const char* stop);
    // Past a plain element at p (see Events::plainElement), its event given; p when there is
    // none; null when the event stopped the scan.
    const char* plainElement(const char* p, const char* stop);
    bool text(const char* p, const char* end);
};

} // namespace sheets
