#include "overlay/layout.h"

#include "base/config.h"
#include "overlay/builtinpictures.h"
#include "overlay/memolines.h"

namespace quorvel::overlay {
namespace {

using P = BuiltinPicture;
constexpr Alignment L = Alignment::Left;
constexpr Alignment C = Alignment::Center;
constexpr Alignment R = Alignment::RightJustify;
constexpr bool Shown = true;
constexpr bool Hidden = false;
constexpr bool Auto = true;
constexpr bool Fixed = false;

// The parents come from the element list, so the table below cannot disagree with it.
constexpr El kParents[] = {
#define QUORVEL_ELEMENT_PARENT(name, parent) El::parent,
    QUORVEL_ELEMENTS(QUORVEL_ELEMENT_PARENT)
#undef QUORVEL_ELEMENT_PARENT
};

class Builder {
public:
    std::array<Element, kElementCount> elements;

    Element& add(El e, Kind kind, QRect box, bool visible)
    {
        Element& el = elements[size_t(index(e))];
        el.id = e;
        el.parent = kParents[index(e)];
        el.kind = kind;
        el.box = box;
        el.visible = visible;
        el.font = {kWindowFace, kWindowFontPixels, false, kWindowText};
        return el;
    }

    void panel(El e, QRect box, bool visible) { add(e, Kind::Panel, box, visible).color = kMagenta; }

    void label(El e, QRect box, const char* text, int pixels, bool bold, QRgb colour, Alignment alignment,
               bool autoSize, bool visible)
    {
        Element& el = add(e, Kind::Label, box, visible);
        el.text = text;
        el.font = {kLabelFace, pixels, bold, colour};
        el.alignment = alignment;
        el.autoSize = autoSize;
        el.transparent = true;
    }

    // The lamps and photos: centred, shrunk to fit.
    void fitted(El e, QRect box, bool transparent, QImage picture = {})
    {
        Element& el = add(e, Kind::Picture, box, Shown);
        el.picture = std::move(picture);
        el.transparent = transparent;
        el.center = true;
        el.proportional = true;
    }

    void lamp(El e, QRect box, P picture) { fitted(e, box, true, builtinPicture(picture)); }

    void shape(El e, QRect box, QRgb colour) { add(e, Kind::Shape, box, Hidden).color = colour; }

    void memo(El e, QRect box, const char* firstLine, bool visible)
    {
        appendToMemo(add(e, Kind::Memo, box, visible).memo, Text(firstLine));
    }

    void list(El e, QRect box, bool visible) { add(e, Kind::ListBox, box, visible); }

    void checkBox(El e, QRect box, const char* caption, bool visible)
    {
        add(e, Kind::CheckBox, box, visible).text = caption;
    }
};

void layOutForm(Builder& b)
{
    b.panel(El::pnlClass, {0, 2, 1320, 519}, Hidden);
    b.panel(El::pnlGeral, {0, -191, 1320, 754}, Shown);
    // aligned to the top: the client area's whole width
    b.panel(El::pnlTempos, {0, 0, kClientWidth, 433}, Shown);
}

void layOutBoard(Builder& b)
{
    Element& background = b.add(El::imgFundoClass, Kind::Picture, {0, 0, 1435, 423}, Hidden);
    background.picture = builtinPicture(P::Board);

    // Board labels are white, transparent, fixed in size and hidden: the board fills them.
    auto boardLabel = [&b](El e, QRect box, const char* text, int pixels, bool bold, Alignment alignment) {
        b.label(e, box, text, pixels, bold, kWhite, alignment, Fixed, Hidden);
    };
    struct Row {
        El tempo, pil, num;
        int tempoTop, pilTop;
    };
    // In creation order the board's labels interleave; the rows below only give places.
    const Row rows[] = {
        {El::lblClassTempo01, El::lblClassPil01, El::lblClassNum01, 103, 108},
        {El::lblClassTempo02, El::lblClassPil02, El::lblClassNum02, 132, 137},
        {El::lblClassTempo03, El::lblClassPil03, El::lblClassNum03, 162, 166},
        {El::lblClassTempo04, El::lblClassPil04, El::lblClassNum04, 191, 195},
        {El::lblClassTempo05, El::lblClassPil05, El::lblClassNum05, 221, 224},
        {El::lblClassTempo06, El::lblClassPil06, El::lblClassNum06, 250, 253},
        {El::lblClassTempo07, El::lblClassPil07, El::lblClassNum07, 280, 282},
        {El::lblClassTempo08, El::lblClassPil08, El::lblClassNum08, 309, 311},
        {El::lblClassTempo09, El::lblClassPil09, El::lblClassNum09, 339, 340},
        {El::lblClassTempo10, El::lblClassPil10, El::lblClassNum10, 369, 369},
    };
    for (const Row& row : rows) {
        boardLabel(row.tempo, {223, row.tempoTop, 55, 19}, "10.000", 16, false, R);
        boardLabel(row.pil, {78, row.pilTop, 133, 19}, "ABCDEF", 16, false, L);
        boardLabel(row.num, {42, row.pilTop, 30, 19}, "000", 15, false, R);
    }
    boardLabel(El::lblClassCat, {13, 81, 176, 25}, "CATEGORIA", 17, true, L);
}

void layOutStrip(Builder& b)
{
    Element& strip = b.add(El::imgFundo, Kind::Picture, {0, 0, 1632, 104}, Shown);
    strip.picture = builtinPicture(P::Strip);
    strip.autoSize = true;

    const QRect lampA(190, 26, 32, 32);
    const QRect lampB(190, 62, 32, 32);
    b.lamp(El::imgPreA, lampA, P::LampPrestage);
    b.lamp(El::imgStageA, lampA, P::LampStage);
    b.lamp(El::imgStartA, lampA, P::LampGreen);
    b.lamp(El::imgPreB, lampB, P::LampPrestage);
    b.lamp(El::imgStageB, lampB, P::LampStage);
    b.lamp(El::imgStartB, lampB, P::LampGreen);
    b.lamp(El::imgDesclaB, lampB, P::LampDisqualified);

    const bool bold = true;
    const bool regular = false;
    // nothing shows it; its twin lblVeiculoB is shown
    b.label(El::lblVeiculoA, {226, 144, 43, 16}, "CARRO", 13, regular, kWhite, L, Auto, Hidden);
    b.label(El::lblCategA, {523, 34, 161, 16}, "CATEG", 13, regular, kOffWhite, C, Fixed, Shown);
    b.label(El::lblReaA, {725, 32, 60, 20}, "00.000", 17, bold, kWhite, C, Fixed, Shown);
    b.label(El::lblReaB, {725, 69, 60, 20}, "00.000", 17, bold, kWhite, C, Fixed, Shown);
    b.label(El::lbl60B, {851, 69, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lbl100B, {975, 69, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblTPistaB, {1102, 69, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblVelB, {1228, 69, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblPilotoB, {227, 66, 290, 26}, "NOME", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblVeiculoB, {930, 117, 130, 16}, "# CARRO + OFICINA", 13, regular, kWhite, L, Auto, Shown);
    b.label(El::lblCategB, {523, 71, 161, 16}, "CATEG |  BAT", 13, regular, kOffWhite, C, Fixed, Shown);
    b.label(El::lblPilotoA, {227, 31, 290, 22}, "NOME", 17, bold, kOffWhite, C, Fixed, Shown);

    b.lamp(El::imgDesclaA, lampA, P::LampDisqualified);
    // laid out far outside the window at 538, 3014; it belongs in lane A's lamp box like
    // its twin, so that the winner lamp shows for lane A as well, and like its twin it lies
    // under the foul lamp: a foul is what the lane's lamp must show
    b.lamp(El::imgGanhouA, lampA, P::LampWinner);
    b.lamp(El::imgQueA, lampA, P::LampFoul);
    b.lamp(El::imgGanhouB, lampB, P::LampWinner);
    b.lamp(El::imgQueB, lampB, P::LampFoul);
    b.fitted(El::fotoPilotoA, {298, 181, 89, 96}, false);
    b.fitted(El::fotoPilotoB, {932, 119, 89, 94}, false);

    b.label(El::lblTTotalA, {1355, 32, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblVelA, {1228, 32, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblTPistaA, {1102, 32, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lbl100A, {975, 32, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lbl60A, {851, 32, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);

    struct Legend {
        El e;
        QRect box;
        const char* text;
    };
    const Legend legends[] = {
        {El::lblERT, {19, 120, 26, 18}, "R.T."},       {El::lblE60Pes, {19, 141, 47, 18}, "60 PES"},
        {El::lblEParc02, {19, 162, 40, 18}, "100M"},   {El::lblEPista, {19, 183, 40, 18}, "201M"},
        {El::lblEkm, {19, 204, 39, 18}, "KM/H"},       {El::lblEFim, {19, 225, 46, 18}, "TOTAL"},
        {El::lblDRT, {1296, 129, 16, 18}, "RT"},       {El::lblD60pes, {1265, 150, 47, 18}, "60 PES"},
        {El::lblDParc02, {1272, 171, 40, 18}, "100M"}, {El::lblDPista, {1272, 192, 40, 18}, "201M"},
        {El::lblDKm, {1273, 213, 39, 18}, "KM/H"},     {El::lblDFim, {1266, 234, 46, 18}, "TOTAL"},
    };
    for (const Legend& legend : legends)
        b.label(legend.e, legend.box, legend.text, 15, regular, kWhite, R, Auto, Shown);

    b.label(El::lblHora, {35, 74, 97, 15}, "30/04/22 - 16:47", 12, regular, kWhite, C, Auto, Shown);
    b.label(El::lblNumA, {228, 130, 32, 16}, "0000", 13, regular, kWhite, L, Auto, Shown);
    b.label(El::lblBatA, {206, 130, 16, 16}, "00", 13, regular, kWhite, L, Auto, Shown);
    b.shape(El::Shape1, {1336, 66, 85, 27}, qRgb(2, 168, 61));
    b.shape(El::Shape2, {1448, 62, 124, 35}, qRgb(187, 27, 9));
    b.label(El::lblTTotalB, {1354, 69, 60, 20}, "00.000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblStatusA, {1448, 32, 125, 20}, "000000", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblStatusB, {1451, 69, 118, 20}, "QUEIMOU", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblPosA, {1574, 32, 45, 20}, "00\xBA", 17, bold, kOffWhite, C, Fixed, Shown);
    b.label(El::lblPosB, {1574, 68, 45, 20}, "00\xBA", 17, bold, kOffWhite, C, Fixed, Shown);
}

void layOutOperatorWidgets(Builder& b)
{
    b.memo(El::mLog, {610, 312, 281, 111}, "mLog", Shown);
    b.memo(El::Memo1, {898, 294, 297, 115}, "Memo1", Shown);
    b.list(El::ListBox1, {346, 312, 255, 97}, Shown);
    b.memo(El::mBD, {1308, 428, 411, 145}, "mBD", Hidden);
    b.elements[size_t(index(El::mBD))].font = {"MS Sans Serif", 7, false, kWindowText};
    b.list(El::ListBox2, {98, 456, 255, 97}, Hidden);
    b.panel(El::pnlEscondeA, {132, 186, 207, 195}, Hidden);
    b.panel(El::pnlEscondeB, {1025, 184, 207, 195}, Hidden);
    b.checkBox(El::ckCameraPos, {175, 109, 244, 19}, "Camera Pos-Voreradizi ", Shown);
    b.checkBox(El::ckChegada, {515, 105, 244, 19}, "Camera Chegada", Hidden);
}

} // namespace

const std::vector<El>& childrenOf(El parent)
{
    static const std::array<std::vector<El>, kElementCount + 1> children = [] {
        // slot 0 holds the window's children, slot i + 1 those of element i
        std::array<std::vector<El>, kElementCount + 1> table;
        for (int i = 0; i < kElementCount; ++i)
            table[size_t(index(kParents[i]) + 1)].push_back(El(i));
        return table;
    }();
    return children[size_t(index(parent) + 1)];
}

std::array<Element, kElementCount> laidOutElements()
{
    Builder b;
    layOutForm(b);
    layOutBoard(b);
    layOutStrip(b);
    layOutOperatorWidgets(b);
    return b.elements;
}

} // namespace quorvel::overlay
