#include "RtfReader.h"

#include "CodePages.h"

#include <QColor>
#include <QFile>
#include <QFont>
#include <QHash>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace pantrio {

namespace {

using richtext::CodePage;

// Real documents nest a few dozen groups deep; anything deeper is skipped, not stacked.
constexpr std::size_t kMaxDepth = 200;
// Numeric parameters saturate here, so that no arithmetic on them can overflow.
constexpr long kParamLimit = 1'000'000'000;
// Indents, spacing and tab stops beyond 22 inches are nonsense; keep layout sane.
constexpr int kTwipsLimit = 31680;
constexpr int kMaxTabStops = 32;
// A font number nobody uses: "the document's default font", resolved through \deff.
constexpr int kDefaultFont = INT_MIN;
// Layout units are pixels at 96 dpi: 15 twips each.
constexpr double kTwipsPerPixel = 15.0;

enum class Dest : std::uint8_t { Text, Skip, FontTable, ColorTable };

enum class Kw : std::uint8_t {
    // destinations
    Rtf, FontTable, ColorTable, SkipDest, TextDest, Upr, Ud,
    // document
    AnsiCpg, Deff, Uc, U, Bin,
    // characters
    Plain, B, I, Ul, UlNone, Strike, Hidden, Super, Sub, NoSuperSub, F, Fs, Cf, Cb,
    // font table
    FCharset, FRoman, FSwiss, FModern, FScript, FDecor,
    // colour table
    Red, Green, Blue,
    // paragraphs
    Pard, Ql, Qc, Qr, Qj, Li, Ri, Fi, Sb, Sa, Sl, SlMult, Tx,
    // breaks and symbols
    Par, Line, Tab, Cell, LQuote, RQuote, LDblQuote, RDblQuote, EmDash, EnDash, Bullet,
    EmSpace, EnSpace,
};

struct Keyword
{
    std::string_view name;
    Kw kw;
};

// Sorted by name for binary search (checked below).
constexpr Keyword kKeywords[] = {
    {"aftncn", Kw::SkipDest},
    {"aftnsep", Kw::SkipDest},
    {"aftnsepc", Kw::SkipDest},
    {"annotation", Kw::SkipDest},
    {"ansicpg", Kw::AnsiCpg},
    {"atnauthor", Kw::SkipDest},
    {"atndate", Kw::SkipDest},
    {"atnid", Kw::SkipDest},
    {"atnref", Kw::SkipDest},
    {"b", Kw::B},
    {"background", Kw::SkipDest},
    {"bin", Kw::Bin},
    {"bkmkend", Kw::SkipDest},
    {"bkmkstart", Kw::SkipDest},
    {"blue", Kw::Blue},
    {"bullet", Kw::Bullet},
    {"cb", Kw::Cb},
    {"cell", Kw::Cell},
    {"cf", Kw::Cf},
    {"chcbpat", Kw::Cb},
    {"colorschememapping", Kw::SkipDest},
    {"colortbl", Kw::ColorTable},
    {"datastore", Kw::SkipDest},
    {"deff", Kw::Deff},
    {"do", Kw::SkipDest},
    {"docvar", Kw::SkipDest},
    {"emdash", Kw::EmDash},
    {"emspace", Kw::EmSpace},
    {"endash", Kw::EnDash},
    {"enspace", Kw::EnSpace},
    {"f", Kw::F},
    {"fcharset", Kw::FCharset},
    {"fdecor", Kw::FDecor},
    {"fi", Kw::Fi},
    {"field", Kw::TextDest},
    {"filetbl", Kw::SkipDest},
    {"fldinst", Kw::SkipDest},
    {"fldrslt", Kw::TextDest},
    {"fmodern", Kw::FModern},
    {"fonttbl", Kw::FontTable},
    {"footer", Kw::SkipDest},
    {"footerf", Kw::SkipDest},
    {"footerl", Kw::SkipDest},
    {"footerr", Kw::SkipDest},
    {"footnote", Kw::SkipDest},
    {"froman", Kw::FRoman},
    {"fs", Kw::Fs},
    {"fscript", Kw::FScript},
    {"fswiss", Kw::FSwiss},
    {"ftncn", Kw::SkipDest},
    {"ftnsep", Kw::SkipDest},
    {"ftnsepc", Kw::SkipDest},
    {"generator", Kw::SkipDest},
    {"green", Kw::Green},
    {"header", Kw::SkipDest},
    {"headerf", Kw::SkipDest},
    {"headerl", Kw::SkipDest},
    {"headerr", Kw::SkipDest},
    {"highlight", Kw::Cb},
    {"i", Kw::I},
    {"info", Kw::SkipDest},
    {"latentstyles", Kw::SkipDest},
    {"ldblquote", Kw::LDblQuote},
    {"li", Kw::Li},
    {"line", Kw::Line},
    {"listoverridetable", Kw::SkipDest},
    {"listtable", Kw::SkipDest},
    {"listtext", Kw::TextDest},
    {"lquote", Kw::LQuote},
    {"nonshppict", Kw::SkipDest},
    {"nosupersub", Kw::NoSuperSub},
    {"object", Kw::SkipDest},
    {"page", Kw::Par},
    {"par", Kw::Par},
    {"pard", Kw::Pard},
    {"pict", Kw::SkipDest},
    {"plain", Kw::Plain},
    {"pn", Kw::SkipDest},
    {"pntext", Kw::TextDest},
    {"qc", Kw::Qc},
    {"qd", Kw::Qj},
    {"qj", Kw::Qj},
    {"ql", Kw::Ql},
    {"qr", Kw::Qr},
    {"rdblquote", Kw::RDblQuote},
    {"red", Kw::Red},
    {"revtbl", Kw::SkipDest},
    {"ri", Kw::Ri},
    {"row", Kw::Par},
    {"rquote", Kw::RQuote},
    {"rsidtbl", Kw::SkipDest},
    {"rtf", Kw::Rtf},
    {"sa", Kw::Sa},
    {"sb", Kw::Sb},
    {"sect", Kw::Par},
    {"shp", Kw::SkipDest},
    {"shpgrp", Kw::SkipDest},
    {"sl", Kw::Sl},
    {"slmult", Kw::SlMult},
    {"strike", Kw::Strike},
    {"striked", Kw::Strike},
    {"stylesheet", Kw::SkipDest},
    {"sub", Kw::Sub},
    {"super", Kw::Super},
    {"tab", Kw::Tab},
    {"tc", Kw::SkipDest},
    {"template", Kw::SkipDest},
    {"themedata", Kw::SkipDest},
    {"tx", Kw::Tx},
    {"u", Kw::U},
    {"uc", Kw::Uc},
    {"ud", Kw::Ud},
    {"ul", Kw::Ul},
    {"uld", Kw::Ul},
    {"uldash", Kw::Ul},
    {"uldashd", Kw::Ul},
    {"uldashdd", Kw::Ul},
    {"uldb", Kw::Ul},
    {"ulhwave", Kw::Ul},
    {"ulldash", Kw::Ul},
    {"ulnone", Kw::UlNone},
    {"ulth", Kw::Ul},
    {"ulthd", Kw::Ul},
    {"ulthdash", Kw::Ul},
    {"ulthdashd", Kw::Ul},
    {"ulthdashdd", Kw::Ul},
    {"ulthldash", Kw::Ul},
    {"ululdbwave", Kw::Ul},
    {"ulw", Kw::Ul},
    {"ulwave", Kw::Ul},
    {"upr", Kw::Upr},
    {"userprops", Kw::SkipDest},
    {"v", Kw::Hidden},
    {"xe", Kw::SkipDest},
    {"xmlnstbl", Kw::SkipDest},
};

static_assert(std::is_sorted(std::begin(kKeywords), std::end(kKeywords),
                             [](const Keyword& a, const Keyword& b) { return a.name < b.name; }));

const Keyword* findKeyword(std::string_view name)
{
    const auto it = std::lower_bound(std::begin(kKeywords), std::end(kKeywords), name,
                                     [](const Keyword& k, std::string_view n) { return k.name < n; });
    return it != std::end(kKeywords) && it->name == name ? it : nullptr;
}

long clampParam(long value, long low, long high)
{
    return std::clamp(value, low, high);
}

struct CharState
{
    int font = kDefaultFont;
    int halfPoints = 24;
    int foreground = 0; // colour table index; 0 is the automatic colour
    int background = 0;
    std::int8_t vertical = 0; // -1 subscript, 1 superscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;

    bool operator==(const CharState&) const = default;
};

struct ParaState
{
    Qt::Alignment alignment = Qt::AlignLeft;
    int left = 0; // twips
    int right = 0;
    int firstLine = 0;
    int before = 0;
    int after = 0;
    int lineSpacing = 0; // \sl: 0 single, > 0 at least, < 0 exactly
    bool lineMultiple = false;
    int tabCount = 0;
    std::array<int, kMaxTabStops> tabs{};
};

struct Group
{
    CharState chr;
    ParaState para;
    Dest dest = Dest::Text;
    // \upr holds an ANSI and a Unicode (\ud) version of the same text; \ud reads like the
    // destination \upr was found in.
    Dest uprOuter = Dest::Text;
    bool inUpr = false;
    int uc = 1;
};

struct Font
{
    QString name;
    CodePage page = CodePage::Windows1252;
    bool hasPage = false;
    QFont::StyleHint hint = QFont::AnyStyle;
};

class Parser
{
public:
    Parser(const QByteArray& input, QTextDocument& doc)
        : data_(reinterpret_cast<const unsigned char*>(input.constData())),
          size_(static_cast<std::size_t>(input.size())), cursor_(&doc)
    {
    }

    void run()
    {
        while (pos_ < size_ && !done_) {
            const unsigned char c = data_[pos_++];
            switch (c) {
            case '{': openGroup(); break;
            case '}': closeGroup(); break;
            case '\\': controlToken(); break;
            case '\r':
            case '\n': break;
            default: textByte(c); break;
            }
        }
        if (!done_ && !stack_.empty())
            finish(); // truncated: keep what was read
    }

private:
    Group& top() { return stack_.back(); }

    // ---- groups

    void openGroup()
    {
        star_ = false;
        ucSkip_ = 0;
        if (overflow_ > 0 || stack_.size() >= kMaxDepth) {
            ++overflow_;
            return;
        }
        if (stack_.empty())
            stack_.emplace_back();
        else
            stack_.push_back(stack_.back());
    }

    void closeGroup()
    {
        star_ = false;
        ucSkip_ = 0;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (stack_.empty())
            return;
        if (top().dest == Dest::FontTable)
            commitFont();
        if (stack_.size() == 1) {
            finish();
            return;
        }
        stack_.pop_back();
    }

    // ---- tokens

    void controlToken()
    {
        if (pos_ >= size_)
            return;
        const unsigned char c = data_[pos_];
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++pos_;
        if (c == '\'') {
            const int byte = readHexByte();
            if (skipping())
                return;
            star_ = false;
            if (byte >= 0)
                byteChar(static_cast<unsigned char>(byte));
            return;
        }
        if (skipping())
            return;
        if (c == '*') {
            star_ = true;
            return;
        }
        star_ = false;
        switch (c) {
        case '\\':
        case '{':
        case '}': character(c); break;
        case '~': character(0x00A0); break;
        case '-': character(0x00AD); break;
        case '_': character(0x2011); break;
        case '\t': character('\t'); break;
        case '\r':
        case '\n': paragraph(); break;
        default: break; // \| \: and unknown symbols
        }
    }

    void controlWord()
    {
        const std::size_t start = pos_;
        while (pos_ < size_ && isLetter(data_[pos_]))
            ++pos_;
        const std::string_view word(reinterpret_cast<const char*>(data_ + start), pos_ - start);

        bool hasParam = false;
        bool negative = false;
        long param = 0;
        if (pos_ + 1 < size_ && data_[pos_] == '-' && isDigit(data_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        while (pos_ < size_ && isDigit(data_[pos_])) {
            hasParam = true;
            // Saturates; every intermediate value stays far inside a 32-bit long.
            param = param <= (kParamLimit - 9) / 10 ? param * 10 + (data_[pos_] - '0') : kParamLimit;
            ++pos_;
        }
        if (negative)
            param = -param;
        if (pos_ < size_ && data_[pos_] == ' ')
            ++pos_;

        const Keyword* keyword = findKeyword(word);
        if (keyword && keyword->kw == Kw::Bin) {
            // Binary data is never text, whatever group it is in.
            const std::size_t length = hasParam && param > 0 ? static_cast<std::size_t>(param) : 0;
            pos_ += std::min(length, size_ - pos_);
            if (ucSkip_ > 0)
                --ucSkip_;
            star_ = false;
            return;
        }
        if (skipping())
            return;
        const bool starred = std::exchange(star_, false);
        if (!keyword) {
            if (starred)
                top().dest = Dest::Skip; // an ignorable destination we do not know
            return;
        }
        if (starred && !readableWhenStarred(keyword->kw)) {
            top().dest = Dest::Skip;
            return;
        }
        apply(keyword->kw, hasParam, param);
    }

    static bool readableWhenStarred(Kw kw)
    {
        return kw == Kw::Ud || kw == Kw::TextDest || kw == Kw::FontTable || kw == Kw::ColorTable;
    }

    // True when the current token is to be dropped: too deep, or the fallback text of \u.
    bool skipping()
    {
        if (overflow_ > 0 || stack_.empty())
            return true;
        if (ucSkip_ > 0) {
            --ucSkip_;
            return true;
        }
        return false;
    }

    void textByte(unsigned char c)
    {
        if (skipping())
            return;
        star_ = false;
        if (c < 0x80)
            character(c);
        else
            byteChar(c);
    }

    int readHexByte()
    {
        int value = 0;
        for (int i = 0; i < 2; ++i) {
            if (pos_ >= size_)
                return -1;
            const int digit = hexValue(data_[pos_]);
            if (digit < 0)
                return -1;
            value = value * 16 + digit;
            ++pos_;
        }
        return value;
    }

    // ---- control words

    void apply(Kw kw, bool hasParam, long param)
    {
        Group& g = top();
        switch (kw) {
        case Kw::FontTable: g.dest = Dest::FontTable; return;
        case Kw::ColorTable:
            g.dest = Dest::ColorTable;
            return;
        case Kw::SkipDest: g.dest = Dest::Skip; return;
        case Kw::Upr:
            g.uprOuter = g.dest;
            g.inUpr = true;
            g.dest = Dest::Skip;
            return;
        case Kw::Ud:
            if (g.inUpr)
                g.dest = g.uprOuter;
            return;
        case Kw::Bin: return; // handled while reading the token
        default: break;
        }
        switch (g.dest) {
        case Dest::Skip: return;
        case Dest::FontTable: fontTableWord(kw, param); return;
        case Dest::ColorTable: colorTableWord(kw, param); return;
        case Dest::Text: break;
        }

        const bool on = !hasParam || param != 0;
        CharState& chr = g.chr;
        ParaState& para = g.para;
        switch (kw) {
        case Kw::AnsiCpg: documentPage_ = richtext::codePageFromNumber(param); break;
        case Kw::Deff: defaultFont_ = static_cast<int>(param); break;
        case Kw::Uc: g.uc = static_cast<int>(clampParam(param, 0, 16)); break;
        case Kw::U: unicode(param); break;

        case Kw::Plain: chr = CharState{}; break;
        case Kw::B: chr.bold = on; break;
        case Kw::I: chr.italic = on; break;
        case Kw::Ul: chr.underline = on; break;
        case Kw::UlNone: chr.underline = false; break;
        case Kw::Strike: chr.strike = on; break;
        case Kw::Hidden: chr.hidden = on; break;
        case Kw::Super: chr.vertical = 1; break;
        case Kw::Sub: chr.vertical = -1; break;
        case Kw::NoSuperSub: chr.vertical = 0; break;
        case Kw::F: chr.font = hasParam ? static_cast<int>(param) : kDefaultFont; break;
        // Below 2 pt Qt's superscript and subscript sizes round down to nothing.
        case Kw::Fs: chr.halfPoints = hasParam && param > 0 ? static_cast<int>(clampParam(param, 4, 3276)) : 24; break;
        case Kw::Cf: chr.foreground = static_cast<int>(param); break;
        case Kw::Cb: chr.background = static_cast<int>(param); break;

        case Kw::Pard: para = ParaState{}; break;
        case Kw::Ql: para.alignment = Qt::AlignLeft; break;
        case Kw::Qc: para.alignment = Qt::AlignHCenter; break;
        case Kw::Qr: para.alignment = Qt::AlignRight; break;
        case Kw::Qj: para.alignment = Qt::AlignJustify; break;
        case Kw::Li: para.left = twips(param); break;
        case Kw::Ri: para.right = twips(param); break;
        case Kw::Fi: para.firstLine = twips(param); break;
        case Kw::Sb: para.before = twips(param); break;
        case Kw::Sa: para.after = twips(param); break;
        case Kw::Sl: para.lineSpacing = twips(param); break;
        case Kw::SlMult: para.lineMultiple = on; break;
        case Kw::Tx:
            if (para.tabCount < kMaxTabStops)
                para.tabs[static_cast<std::size_t>(para.tabCount++)] = twips(param);
            break;

        case Kw::Par: paragraph(); break;
        case Kw::Line: character(0x2028); break;
        case Kw::Tab:
        case Kw::Cell: character('\t'); break;
        case Kw::LQuote: character(0x2018); break;
        case Kw::RQuote: character(0x2019); break;
        case Kw::LDblQuote: character(0x201C); break;
        case Kw::RDblQuote: character(0x201D); break;
        case Kw::EmDash: character(0x2014); break;
        case Kw::EnDash: character(0x2013); break;
        case Kw::Bullet: character(0x2022); break;
        case Kw::EmSpace: character(0x2003); break;
        case Kw::EnSpace: character(0x2002); break;
        default: break;
        }
    }

    static int twips(long param) { return static_cast<int>(clampParam(param, -kTwipsLimit, kTwipsLimit)); }

    void fontTableWord(Kw kw, long param)
    {
        switch (kw) {
        case Kw::F:
            commitFont();
            pendingFont_ = Font{};
            pendingNumber_ = static_cast<int>(param);
            pendingActive_ = true;
            break;
        case Kw::FCharset: pendingFont_.hasPage = richtext::codePageFromCharset(param, pendingFont_.page); break;
        case Kw::FRoman: pendingFont_.hint = QFont::Serif; break;
        case Kw::FSwiss: pendingFont_.hint = QFont::SansSerif; break;
        case Kw::FModern: pendingFont_.hint = QFont::TypeWriter; break;
        case Kw::FScript: pendingFont_.hint = QFont::Cursive; break;
        case Kw::FDecor: pendingFont_.hint = QFont::Decorative; break;
        case Kw::U: unicode(param); break;
        default: break;
        }
    }

    void commitFont()
    {
        if (!pendingActive_)
            return;
        pendingActive_ = false;
        pendingFont_.name = pendingFont_.name.trimmed();
        if (pendingFont_.hasPage && pendingFont_.page == CodePage::Symbol
            && pendingFont_.name.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive))
            pendingFont_.page = CodePage::Wingdings;
        fonts_.insert(pendingNumber_, pendingFont_);
        formatCacheValid_ = false;
    }

    void colorTableWord(Kw kw, long param)
    {
        const int value = static_cast<int>(clampParam(param, 0, 255));
        switch (kw) {
        case Kw::Red: red_ = value; colorSet_ = true; break;
        case Kw::Green: green_ = value; colorSet_ = true; break;
        case Kw::Blue: blue_ = value; colorSet_ = true; break;
        default: break;
        }
    }

    // ---- characters

    void unicode(long param)
    {
        long code = param < 0 ? param + 65536 : param;
        if (code < 0 || code > 0xFFFF)
            code = 0xFFFD;
        char16_t c = static_cast<char16_t>(code);
        // Symbol fonts written as Unicode land in the private use area at U+F000 + byte.
        if (c >= 0xF020 && c <= 0xF0FF) {
            const CodePage page = currentPage();
            if (page == CodePage::Symbol || page == CodePage::Wingdings)
                c = richtext::decodeByte(page, static_cast<unsigned char>(c & 0xFF));
        }
        character(c);
        ucSkip_ = top().uc;
    }

    // A byte of text in the current font's code page.
    void byteChar(unsigned char byte)
    {
        if (top().dest == Dest::FontTable) {
            // Font names are never in a symbol encoding, whatever the font's glyphs are.
            CodePage page = pendingFont_.hasPage ? pendingFont_.page : documentPage_;
            if (page == CodePage::Symbol || page == CodePage::Wingdings)
                page = CodePage::Windows1252;
            character(richtext::decodeByte(page, byte));
            return;
        }
        character(richtext::decodeByte(currentPage(), byte));
    }

    CodePage currentPage() const
    {
        const Font* font = fontFor(stack_.back().chr.font);
        return font && font->hasPage ? font->page : documentPage_;
    }

    const Font* fontFor(int number) const
    {
        const auto it = fonts_.constFind(number == kDefaultFont ? defaultFont_ : number);
        return it == fonts_.cend() ? nullptr : &*it;
    }

    void character(char16_t c)
    {
        Group& g = top();
        switch (g.dest) {
        case Dest::Skip: return;
        case Dest::FontTable:
            if (!pendingActive_)
                return;
            if (c == ';')
                commitFont();
            else if (c >= 0x20)
                pendingFont_.name.append(QChar(c));
            return;
        case Dest::ColorTable:
            if (c == ';') {
                colors_.append(colorSet_ ? QColor(red_, green_, blue_) : QColor());
                formatCacheValid_ = false;
                red_ = green_ = blue_ = 0;
                colorSet_ = false;
            }
            return;
        case Dest::Text: break;
        }
        if (g.chr.hidden)
            return;
        // Characters that QTextDocument would read as structure rather than text.
        if ((c < 0x20 && c != '\t') || c == 0x7F || c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC || c == 0xFFFE
            || c == 0xFFFF)
            return;
        if (c == 0x2029)
            c = 0x2028;
        if (!run_.isEmpty() && !(g.chr == runState_))
            flush();
        runState_ = g.chr;
        run_.append(QChar(c));
    }

    // ---- output

    void flush()
    {
        if (run_.isEmpty())
            return;
        replaceLoneSurrogates(run_);
        openBlock();
        cursor_.insertText(run_, charFormat(runState_));
        run_.clear();
        paragraphHasText_ = true;
    }

    static void replaceLoneSurrogates(QString& s)
    {
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s.at(i);
            if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                s[i] = QChar::ReplacementCharacter;
        }
    }

    void openBlock()
    {
        if (needBlock_) {
            cursor_.insertBlock();
            needBlock_ = false;
        }
    }

    // The paragraph properties in force now belong to the paragraph that ends here.
    void paragraph()
    {
        flush();
        openBlock();
        endBlock();
        needBlock_ = true;
        paragraphHasText_ = false;
    }

    void endBlock()
    {
        cursor_.setBlockFormat(blockFormat(top().para));
        cursor_.setBlockCharFormat(charFormat(top().chr));
    }

    void finish()
    {
        flush();
        if (paragraphHasText_)
            endBlock();
        done_ = true;
    }

    QTextCharFormat charFormat(const CharState& s)
    {
        if (formatCacheValid_ && s == cachedState_)
            return cachedFormat_;
        QTextCharFormat f;
        if (const Font* font = fontFor(s.font)) {
            // A symbol font's glyphs have been mapped to Unicode; its name would only pick
            // a font with the wrong glyphs.
            if (!(font->hasPage && (font->page == CodePage::Symbol || font->page == CodePage::Wingdings))
                && !font->name.isEmpty()) {
                f.setFontFamilies({font->name});
                f.setFontStyleHint(font->hint);
            }
        }
        f.setFontPointSize(s.halfPoints / 2.0);
        if (s.bold)
            f.setFontWeight(QFont::Bold);
        if (s.italic)
            f.setFontItalic(true);
        if (s.underline)
            f.setFontUnderline(true);
        if (s.strike)
            f.setFontStrikeOut(true);
        if (s.vertical != 0)
            f.setVerticalAlignment(s.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                  : QTextCharFormat::AlignSubScript);
        if (const QColor c = color(s.foreground); c.isValid())
            f.setForeground(c);
        if (const QColor c = color(s.background); c.isValid())
            f.setBackground(c);
        cachedState_ = s;
        cachedFormat_ = f;
        formatCacheValid_ = true;
        return f;
    }

    QColor color(int index) const
    {
        return index > 0 && index < colors_.size() ? colors_.at(index) : QColor();
    }

    static QTextBlockFormat blockFormat(const ParaState& p)
    {
        QTextBlockFormat f;
        f.setAlignment(p.alignment);
        const int left = std::max(p.left, 0);
        // A hanging indent cannot reach past the left edge.
        const int first = std::max(p.firstLine, -left);
        f.setLeftMargin(left / kTwipsPerPixel);
        f.setRightMargin(std::max(p.right, 0) / kTwipsPerPixel);
        f.setTextIndent(first / kTwipsPerPixel);
        f.setTopMargin(std::max(p.before, 0) / kTwipsPerPixel);
        f.setBottomMargin(std::max(p.after, 0) / kTwipsPerPixel);
        if (p.lineSpacing > 0 && p.lineMultiple)
            f.setLineHeight(p.lineSpacing * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
        else if (p.lineSpacing > 0)
            f.setLineHeight(p.lineSpacing / kTwipsPerPixel, QTextBlockFormat::MinimumHeight);
        else if (p.lineSpacing < 0)
            f.setLineHeight(-p.lineSpacing / kTwipsPerPixel, QTextBlockFormat::FixedHeight);

        // RTF measures tab stops from the page margin, Qt from where the line starts; the first
        // line is the one that matters, for list bullets.
        const int lineStart = left + first;
        QList<QTextOption::Tab> tabs;
        auto addTab = [&tabs](int twipsFromLineStart) {
            const qreal position = twipsFromLineStart / kTwipsPerPixel;
            if (twipsFromLineStart > 0
                && std::none_of(tabs.cbegin(), tabs.cend(), [&](const QTextOption::Tab& t) { return t.position == position; }))
                tabs.append(QTextOption::Tab(position, QTextOption::LeftTab));
        };
        for (int i = 0; i < p.tabCount; ++i)
            addTab(p.tabs[static_cast<std::size_t>(i)] - lineStart);
        // Word processors put the text after a list bullet's tab at the left indent.
        if (first < 0)
            addTab(-first);
        if (!tabs.isEmpty()) {
            std::sort(tabs.begin(), tabs.end(),
                      [](const QTextOption::Tab& a, const QTextOption::Tab& b) { return a.position < b.position; });
            f.setTabPositions(tabs);
        }
        return f;
    }

    // ---- helpers

    static bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
    static int hexValue(unsigned char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    const unsigned char* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool done_ = false;

    std::vector<Group> stack_;
    std::size_t overflow_ = 0; // groups opened past kMaxDepth and not yet closed
    bool star_ = false;
    int ucSkip_ = 0;

    CodePage documentPage_ = CodePage::Windows1252;
    int defaultFont_ = 0;
    QHash<int, Font> fonts_;
    Font pendingFont_;
    int pendingNumber_ = 0;
    bool pendingActive_ = false;

    QList<QColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;

    QTextCursor cursor_;
    QString run_;
    CharState runState_;
    bool needBlock_ = false;
    bool paragraphHasText_ = false;

    bool formatCacheValid_ = false;
    CharState cachedState_;
    QTextCharFormat cachedFormat_;
};

bool looksLikeRtf(const QByteArray& rtf)
{
    qsizetype i = 0;
    while (i < rtf.size() && (rtf.at(i) == ' ' || rtf.at(i) == '\t' || rtf.at(i) == '\r' || rtf.at(i) == '\n'))
        ++i;
    return rtf.mid(i, 5) == "{\\rtf";
}

} // namespace

void RtfReader::read(const QByteArray& rtf, QTextDocument& into)
{
    const bool undo = into.isUndoRedoEnabled();
    into.setUndoRedoEnabled(false);
    into.clear();
    if (looksLikeRtf(rtf)) {
        Parser parser(rtf, into);
        parser.run();
    }
    into.setUndoRedoEnabled(undo);
}

bool RtfReader::readFile(const QString& path, QTextDocument& into)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        into.clear();
        return false;
    }
    read(file.readAll(), into);
    return true;
}

} // namespace pantrio
