#pragma once

#include "base/text.h"
#include "overlay/elements.h"

#include <QImage>
#include <QRect>
#include <QRgb>

#include <array>
#include <deque>
#include <functional>
#include <vector>

namespace quorvel::overlay {

enum class Kind { Panel, Label, Picture, Shape, CheckBox, Memo, ListBox };
enum class Alignment { Left, Center, RightJustify };

struct FontSpec {
    const char* face = "Verdana"; // the face asked for; stand-ins are the renderer's business
    int pixelSize = 11; // character height in pixels
    bool bold = false;
    QRgb color = qRgb(0, 0, 0);
};

// A memo's lines. An appended text is stored once and shared (QByteArray is implicitly
// shared), so a chunk copied into Memo1 for each of its messages costs one copy, not one
// per message. The memo is capped: oldest entries are dropped beyond kMaxLines shown lines
// or kMaxBytes of text, so it never holds gigabytes after a day of traffic.
struct MemoLines {
    static constexpr qsizetype kMaxLines = 10000;
    static constexpr qsizetype kMaxBytes = 4 * 1024 * 1024;

    struct Entry {
        Text text;
        qsizetype lines; // lines this text shows (a text with line breaks shows several)
    };
    std::deque<Entry> entries;
    qsizetype lineCount = 0;
    qsizetype byteCount = 0;
    quint64 appended = 0; // entries ever appended, dropped ones included
    qint64 dropped = 0; // shown lines dropped from the front: a line's number stays its own

    // The last appended text and what it came to, so that the same chunk appended again
    // is not scanned again. Holding the text keeps its buffer alive, so the same data
    // pointer and size can only mean the same bytes.
    struct Counted {
        Text text;
        Entry kept; // the text as stored: cut to its tail when it alone exceeds the cap
    };
    Counted counted;
};

// One element of the window as plain data. Only the Screen changes it.
struct Element {
    El id = El::Count;
    El parent = El::frmPrincipal;
    Kind kind = Kind::Panel;
    QRect box; // left, top, width, height in the parent's client coordinates
    QRgb color = qRgb(255, 0, 255); // panel and shape fill
    FontSpec font;
    Text text; // label caption, check box caption
    Alignment alignment = Alignment::Left;
    bool autoSize = false;
    bool transparent = false;
    bool center = false;
    bool proportional = false;
    bool visible = true;
    QImage picture; // null: the element draws nothing
    bool checked = false;
    MemoLines memo;
    TextList items;
};

// Told of every change, so a view can repaint just what changed.
class ScreenObserver {
public:
    virtual ~ScreenObserver() = default;
    // `before` is the element's box before the change (it differs from the current box
    // only when an auto-size label was measured again).
    virtual void elementChanged(El e, const QRect& before) = 0;
    virtual void clientHeightChanged(int height) = 0;
};

// Measures a text in a label's font, with the font actually available. Set by the
// renderer; without one, auto-size labels keep their boxes.
using TextMeasure = std::function<QSize(const Text& text, const FontSpec& font)>;

// The overlay window as a model. Logic changes elements only through these operations.
class Screen {
public:
    Screen(); // every element with its laid-out attributes, in creation order

    const Element& element(El e) const { return m_elements[static_cast<size_t>(index(e))]; }
    int clientWidth() const;
    int clientHeight() const { return m_clientHeight; }
    // The element's box in window client coordinates.
    QRect windowRect(El e) const;
    // Visible itself and every ancestor visible.
    bool isShowing(El e) const;

    void setObserver(ScreenObserver* observer) { m_observer = observer; }
    // Further views and readers of the same model (the program output, the feed) are told
    // after the window, in the order added.
    void addObserver(ScreenObserver* observer);
    void removeObserver(ScreenObserver* observer);
    void setTextMeasure(TextMeasure measure); // measures every auto-size label again

    // show, hide
    void show(El e) { setVisible(e, true); }
    void hide(El e) { setVisible(e, false); }
    void setVisible(El e, bool visible);
    bool visible(El e) const { return element(e).visible; }

    // labels
    void setText(El e, const Text& text);
    const Text& text(El e) const { return element(e).text; }

    // pictures
    void clearPicture(El e);
    void setPicture(El e, const QImage& picture);

    // check box
    bool checked(El e) const { return element(e).checked; }
    void setChecked(El e, bool checked); // the operator's input

    // memos
    void appendLine(El e, const Text& text);
    const MemoLines& memo(El e) const { return element(e).memo; }
    // The last `count` shown lines, oldest first (what a memo widget needs to draw).
    TextList lastLines(El e, qsizetype count) const;

    // lists
    void replaceItems(El e, const TextList& items);
    int itemCount(El e) const;
    // Raises "List index out of bounds (%d)" for an index outside the list.
    Text item(El e, int i) const;

    // the window
    void setClientHeight(int height);

private:
    Element& mutableElement(El e) { return m_elements[static_cast<size_t>(index(e))]; }
    void changed(El e, const QRect& before);
    void measure(El e);

    std::array<Element, kElementCount> m_elements;
    int m_clientHeight;
    ScreenObserver* m_observer = nullptr;
    std::vector<ScreenObserver*> m_moreObservers;
    TextMeasure m_measure;
};

} // namespace quorvel::overlay
