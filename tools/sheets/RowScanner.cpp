#include "RowScanner.h"

#include <algorithm>
#include <cstring>

#include "ServiceLimits.h"

namespace sheets {

namespace {

constexpr std::string_view XmlNamespace = "http://www.w3.org/XML/1998/namespace";
// An incomplete row takes at least this much more before it is read again.
constexpr size_t MinTake = 64u << 10;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

const char* SkipSpace(const char* p, const char* end) {
    while (p < end && IsSpace(*p))
        ++p;
    return p;
}

// The length of the UTF-8 sequence at p when it is a character XML carries, else 0 (also when
// it is cut off at end).
size_t Utf8Char(const char* s, const char* end) {
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    const size_t room = size_t(end - s);
    const auto in = [](unsigned char c, unsigned lo, unsigned hi) { return c >= lo && c <= hi; };
    const unsigned char c = p[0];
    if (c >= 0xC2 && c <= 0xDF)
        return room >= 2 && in(p[1], 0x80, 0xBF) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (room < 3 || !in(p[1], c == 0xE0 ? 0xA0 : 0x80, c == 0xED ? 0x9F : 0xBF) ||
            !in(p[2], 0x80, 0xBF))
            return 0;
        return c == 0xEF && p[1] == 0xBF && p[2] >= 0xBE ? 0 : 3; // U+FFFE, U+FFFF
    }
    if (c >= 0xF0 && c <= 0xF4)
        return room >= 4 && in(p[1], c == 0xF0 ? 0x90 : 0x80, c == 0xF4 ? 0x8F : 0xBF) &&
                       in(p[2], 0x80, 0xBF) && in(p[3], 0x80, 0xBF)
                   ? 4
                   : 0;
    return 0;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Appends what the reference between '&' and ';' stands for; false when it is not one of the
// five of XML or a character reference to a character XML carries.
bool AppendReference(std::string& out, std::string_view ref) {
    static constexpr std::pair<std::string_view, char> Named[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [name, c] : Named)
        if (ref == name) {
            out += c;
            return true;
        }
    if (ref.size() < 2 || ref[0] != '#')
        return false;
    const bool hex = ref[1] == 'x';
    const std::string_view digits = ref.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return false;
    uint32_t code = 0;
    for (const char d : digits) {
        int v = -1;
        if (d >= '0' && d <= '9')
            v = d - '0';
        else if (hex && (d | 0x20) >= 'a' && (d | 0x20) <= 'f')
            v = (d | 0x20) - 'a' + 10;
        if (v < 0)
            return false;
        code = code * (hex ? 16 : 10) + uint32_t(v);
    }
    const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                         (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                         (code >= 0x10000 && code <= 0x10FFFF);
    if (!allowed)
        return false;
    AppendUtf8(out, code);
    return true;
}

} // namespace

RowScanner::RowScanner(Events& events, Namespaces scope, std::string sheetData)
    : events_(events), scope_(std::move(scope)), endTag_("</" + sheetData) {}

RowScanner::Status RowScanner::feed(const char*& data, size_t& size) {
    before_ = {};
    while (size > 0) {
        const char* at = nullptr;
        if (carry_.empty()) {
            const Status s = scan(data, data + size, at);
            size -= size_t(at - data);
            data = at;
            if (s != Status::More)
                return s;
            if (size > limits::XmlTokenBytes)
                return Status::GaveUp;
            carry_.assign(data, size);
            data += size;
            size = 0;
            return Status::More;
        }
        // The incomplete row, with as much more again: a long row is read a few times over, not
        // once per piece.
        const size_t take = std::min(size, std::max(carry_.size(), MinTake));
        carry_.append(data, take);
        data += take;
        size -= take;
        const Status s = scan(carry_.data(), carry_.data() + carry_.size(), at);
        if (s == Status::GaveUp)
            return s;
        const size_t used = size_t(at - carry_.data());
        const size_t left = carry_.size() - used;
        if (left <= take) { // what is left is in data: read on there
            data -= left;
            size += left;
            carry_.clear();
            if (s == Status::Done)
                return s;
            continue;
        }
        if (s == Status::Done) {
            before_ = std::string_view(carry_).substr(used, left - take);
            data -= take;
            size += take;
            return s;
        }
        carry_.erase(0, used);
        if (carry_.size() > limits::XmlTokenBytes)
            return Status::GaveUp;
    }
    return Status::More;
}

RowScanner::Status RowScanner::scan(const char* p, const char* end, const char*& at) {
    at = p;
    while (p < end) {
        const char* lt = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
        if (!lt)
            return Status::More;
        if (lt > p && !text(p, lt))
            return Status::GaveUp;
        p = at = lt;
        if (end - p < 2)
            return Status::More;
        if (p[1] == '/') { // no row, so sheetData's end
            const size_t n = std::min(endTag_.size(), size_t(end - p));
            if (std::memcmp(p, endTag_.data(), n) != 0)
                return Status::GaveUp;
            const char* q = SkipSpace(p + n, end);
            if (q == end)
                return Status::More;
            return *q == '>' && n == endTag_.size() ? Status::Done : Status::GaveUp;
        }
        Tag row;
        short_ = false;
        const char* q = startTag(p, end, row);
        if (!q)
            return short_ ? Status::More : Status::GaveUp;
        const char* after = q;
        const char* stop = q;
        if (!row.empty) {
            // The row's end tag: no '<' stands in a row but to start markup.
            const char* first =
                row.name.prefix.empty() ? row.name.local.data() : row.name.prefix.data();
            const std::string_view written(first, size_t(row.name.local.end() - first));
            const std::string_view rest(q, size_t(end - q));
            for (size_t from = 0;;) {
                const size_t hit = rest.find(written, from);
                if (hit == std::string_view::npos)
                    return Status::More;
                from = hit + 1;
                if (hit < 2 || rest[hit - 2] != '<' || rest[hit - 1] != '/')
                    continue;
                const char* r = SkipSpace(q + hit + written.size(), end);
                if (r == end)
                    return Status::More;
                if (*r == '>') {
                    stop = q + hit - 2;
                    after = r + 1;
                    break;
                }
                if (!IsNameChar(*r) && *r != ':')
                    return Status::GaveUp;
            }
        }
        if (!events_.open(row.name, atts_) || (stop > q && !readRow(q, stop)) ||
            !events_.close(row.name))
            return Status::GaveUp;
        p = at = after;
    }
    return Status::More;
}

bool RowScanner::readRow(const char* p, const char* stop) {
    open_.clear();
    while (p < stop) {
        if (*p != '<') {
            const char* lt = static_cast<const char*>(std::memchr(p, '<', size_t(stop - p)));
            if (!lt)
                lt = stop;
            if (!text(p, lt))
                return false;
            p = lt;
            continue;
        }
        if (stop - p >= 2 && p[1] == '/') {
            if (open_.empty() || !(p = endTag(p, stop, open_.back())) ||
                !events_.close(open_.back()))
                return false;
            open_.pop_back();
            continue;
        }
        Tag t;
        if (!(p = startTag(p, stop, t)) || !events_.open(t.name, atts_))
            return false;
        if (t.empty && !events_.close(t.name))
            return false;
        if (!t.empty) {
            open_.push_back(t.name);
            if (!(p = plainElement(p, stop)))
                return false;
        }
    }
    return open_.empty();
}

const char* RowScanner::plainElement(const char* p, const char* stop) {
    if (stop - p < 2 || p[0] != '<' || !IsNameStart(p[1]))
        return p;
    QName n;
    const char* q = name(p + 1, stop, n);
    if (!q || *q != '>')
        return p;
    const char* text = ++q;
    while (q < stop && *q >= 0x20 && *q < 0x7F && *q != '&' && *q != '<' && *q != '>' &&
           *q != ']' && *q != '"')
        ++q;
    const std::string_view written(p + 1, size_t(n.local.end() - (p + 1)));
    const size_t close = 3 + written.size(); // "</", the name and '>'
    if (q == text || size_t(stop - q) < close || q[0] != '<' || q[1] != '/' ||
        std::memcmp(q + 2, written.data(), written.size()) != 0 || q[close - 1] != '>' ||
        !resolve(n, false))
        return p; // the general way reads it, or gives up on it
    const char* after = q + close;
    return events_.plainElement(n, std::string_view(p, size_t(after - p))) ? after : nullptr;
}

const char* RowScanner::name(const char* p, const char* end, QName& n) {
    const char* start = p;
    const char* colon = nullptr;
    for (int part = 0; part < 2; ++part) {
        if (p == end) {
            short_ = true;
            return nullptr;
        }
        if (!IsNameStart(*p))
            return nullptr;
        while (++p < end && IsNameChar(*p)) {
        }
        if (p == end) {
            short_ = true;
            return nullptr;
        }
        if (*p != ':')
            break;
        if (colon) // a second colon
            return nullptr;
        colon = p++;
    }
    if (static_cast<unsigned char>(*p) >= 0x80 || *p == ':') // a name beyond ASCII
        return nullptr;
    n.uri = {};
    n.prefix = colon ? std::string_view(start, size_t(colon - start)) : std::string_view();
    n.local = colon ? std::string_view(colon + 1, size_t(p - colon - 1))
                    : std::string_view(start, size_t(p - start));
    return p;
}

bool RowScanner::resolve(QName& n, bool attribute) {
    if (n.prefix.empty() && attribute)
        return true; // an attribute without a prefix is in no namespace
    if (n.prefix == "xml") {
        n.uri = XmlNamespace;
        return true;
    }
    if (n.prefix == "xmlns")
        return false;
    if (!cached_ || cachedPrefix_ != n.prefix) {
        const auto it = std::find_if(scope_.rbegin(), scope_.rend(),
                                     [&](const auto& d) { return d.first == n.prefix; });
        if (it == scope_.rend() && !n.prefix.empty())
            return false; // not declared
        cachedPrefix_ = it == scope_.rend() ? std::string_view() : std::string_view(it->first);
        cachedUri_ = it == scope_.rend() ? std::string_view() : std::string_view(it->second);
        cached_ = true;
    }
    n.uri = cachedUri_;
    return true;
}

const char* RowScanner::startTag(const char* p, const char* end, Tag& tag) {
    const char* q = name(p + 1, end, tag.name);
    if (!q)
        return nullptr;
    atts_.clear();
    for (;;) {
        const char* blank = q;
        q = SkipSpace(q, end);
        if (q == end || (*q == '/' && q + 1 == end)) {
            short_ = true;
            return nullptr;
        }
        if (*q == '>' || *q == '/') {
            tag.empty = *q == '/';
            if (tag.empty && q[1] != '>')
                return nullptr;
            q += tag.empty ? 2 : 1;
            break;
        }
        XmlAttribute a;
        if (q == blank || !(q = name(q, end, a.name)))
            return nullptr; // attributes stand apart
        q = SkipSpace(q, end);
        if (q < end && *q != '=')
            return nullptr;
        q = SkipSpace(q + 1, end);
        if (q >= end) {
            short_ = true;
            return nullptr;
        }
        if (*q != '"' && *q != '\'')
            return nullptr;
        const char quote = *q++;
        const char* value = q;
        // Values are kept as they stand: one that needs a reference resolved or a line end
        // turned into a blank is left to the parser.
        while (q < end && *q != quote) {
            const auto c = static_cast<unsigned char>(*q);
            if (c >= 0x20 && c < 0x80 && c != '<' && c != '&') {
                ++q;
            } else if (const size_t n = c >= 0x80 ? Utf8Char(q, end) : 0) {
                q += n;
            } else {
                short_ = c >= 0x80 && end - q < 4;
                return nullptr;
            }
        }
        if (q == end) {
            short_ = true;
            return nullptr;
        }
        a.value = std::string_view(value, size_t(q++ - value));
        if ((a.name.prefix.empty() && a.name.local == "xmlns") || a.name.prefix == "xmlns")
            return nullptr; // a namespace declaration
        atts_.push_back(a);
    }
    if (!resolve(tag.name, false))
        return nullptr;
    for (size_t i = 0; i < atts_.size(); ++i) {
        if (!resolve(atts_[i].name, true))
            return nullptr;
        for (size_t k = 0; k < i; ++k)
            if (atts_[k].name.local == atts_[i].name.local &&
                atts_[k].name.uri == atts_[i].name.uri)
                return nullptr; // the same attribute twice
    }
    return q;
}

const char* RowScanner::endTag(const char* p, const char* end, const QName& n) {
    const char* q = p + 2;
    if (!n.prefix.empty()) {
        if (size_t(end - q) <= n.prefix.size() ||
            std::memcmp(q, n.prefix.data(), n.prefix.size()) != 0 || q[n.prefix.size()] != ':')
            return nullptr;
        q += n.prefix.size() + 1;
    }
    if (size_t(end - q) < n.local.size() || std::memcmp(q, n.local.data(), n.local.size()) != 0)
        return nullptr;
    q = SkipSpace(q + n.local.size(), end);
    return q < end && *q == '>' ? q + 1 : nullptr;
}

bool RowScanner::text(const char* p, const char* end) {
    bool references = false;
    for (const char* q = p; q < end;) {
        const auto c = static_cast<unsigned char>(*q);
        if ((c >= 0x20 && c < 0x80 && c != ']' && c != '&') || c == '\t' || c == '\n') {
            ++q;
        } else if (c == ']') {
            if (end - q >= 3 && q[1] == ']' && q[2] == '>')
                return false; // not allowed in text
            ++q;
        } else if (c == '&') {
            references = true;
            ++q;
        } else if (const size_t n = c >= 0x80 ? Utf8Char(q, end) : 0) {
            q += n;
        } else {
            return false; // a CR (the parser turns line ends into LF), or no character of XML
        }
    }
    if (!references)
        return events_.text(std::string_view(p, size_t(end - p)));
    text_.clear();
    for (const char* q = p; q < end;) {
        const char* amp = static_cast<const char*>(std::memchr(q, '&', size_t(end - q)));
        if (!amp) {
            text_.append(q, end);
            break;
        }
        text_.append(q, amp);
        const char* semi = static_cast<const char*>(std::memchr(amp, ';', size_t(end - amp)));
        if (!semi || !AppendReference(text_, std::string_view(amp + 1, size_t(semi - amp - 1))))
            return false;
        q = semi + 1;
    }
    return events_.text(text_);
}

} // namespace sheets
