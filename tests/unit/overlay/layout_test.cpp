#include "overlay/layout.h"
#include "overlay/screen.h"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::overlay;

namespace {

TEST(Layout, EveryElementIsLaidOutInCreationOrderWithItsName)
{
    const auto elements = laidOutElements();
    for (int i = 0; i < kElementCount; ++i) {
        SCOPED_TRACE(elementName(El(i)));
        EXPECT_EQ(elements[size_t(i)].id, El(i));
        EXPECT_FALSE(elements[size_t(i)].box.isEmpty());
    }
    EXPECT_STREQ(elementName(El::pnlClass), "pnlClass");
    EXPECT_STREQ(elementName(El::ckChegada), "ckChegada");
    EXPECT_STREQ(elementName(El::frmPrincipal), "frmPrincipal");
    // children lists follow the creation order
    const std::vector<El> formChildren{El::pnlClass, El::pnlGeral, El::pnlTempos};
    EXPECT_EQ(childrenOf(El::frmPrincipal), formChildren);
    EXPECT_EQ(childrenOf(El::pnlTempos).front(), El::imgFundo);
    EXPECT_EQ(childrenOf(El::pnlTempos).back(), El::ckChegada);
    EXPECT_TRUE(childrenOf(El::lblPilotoA).empty());
}

struct LaidOut {
    El e;
    El parent;
    Kind kind;
    QRect box;
    const char* text;
    bool visible;
};

TEST(Layout, PlacesTextsAndVisibility)
{
    const LaidOut cases[] = {
        {El::pnlTempos, El::frmPrincipal, Kind::Panel, {0, 0, 1629, 433}, "", true},
        {El::pnlGeral, El::frmPrincipal, Kind::Panel, {0, -191, 1320, 754}, "", true},
        {El::pnlClass, El::frmPrincipal, Kind::Panel, {0, 2, 1320, 519}, "", false},
        {El::lblClassCat, El::pnlClass, Kind::Label, {13, 81, 176, 25}, "CATEGORIA", false},
        {El::lblClassTempo10, El::pnlClass, Kind::Label, {223, 369, 55, 19}, "10.000", false},
        {El::lblClassNum03, El::pnlClass, Kind::Label, {42, 166, 30, 19}, "000", false},
        {El::imgFundo, El::pnlTempos, Kind::Picture, {0, 0, 1632, 104}, "", true},
        {El::imgGanhouA, El::pnlTempos, Kind::Picture, {190, 26, 32, 32}, "", true}, // in lane A's lamp box
        {El::imgGanhouB, El::pnlTempos, Kind::Picture, {190, 62, 32, 32}, "", true},
        {El::lblVeiculoA, El::pnlTempos, Kind::Label, {226, 144, 43, 16}, "CARRO", false},
        {El::lblCategB, El::pnlTempos, Kind::Label, {523, 71, 161, 16}, "CATEG |  BAT", true},
        {El::lblPosA, El::pnlTempos, Kind::Label, {1574, 32, 45, 20}, "00\xBA", true},
        {El::lblHora, El::pnlTempos, Kind::Label, {35, 74, 97, 15}, "30/04/22 - 16:47", true},
        {El::Shape2, El::pnlTempos, Kind::Shape, {1448, 62, 124, 35}, "", false},
        {El::ListBox2, El::pnlTempos, Kind::ListBox, {98, 456, 255, 97}, "", false},
        {El::pnlEscondeB, El::pnlTempos, Kind::Panel, {1025, 184, 207, 195}, "", false},
        {El::ckCameraPos, El::pnlTempos, Kind::CheckBox, {175, 109, 244, 19}, "Camera Pos-Voreradizi ", true},
        {El::ckChegada, El::pnlTempos, Kind::CheckBox, {515, 105, 244, 19}, "Camera Chegada", false},
    };
    const auto elements = laidOutElements();
    for (const LaidOut& c : cases) {
        SCOPED_TRACE(elementName(c.e));
        const Element& el = elements[size_t(index(c.e))];
        EXPECT_EQ(el.parent, c.parent);
        EXPECT_EQ(el.kind, c.kind);
        EXPECT_EQ(el.box, c.box);
        EXPECT_EQ(el.text, Text(c.text));
        EXPECT_EQ(el.visible, c.visible);
    }
}

TEST(Layout, FontsAlignmentAndPictureFlags)
{
    const auto elements = laidOutElements();
    const auto& at = [&](El e) -> const Element& { return elements[size_t(index(e))]; };

    const Element& pilot = at(El::lblPilotoA);
    EXPECT_STREQ(pilot.font.face, "Futura Md BT");
    EXPECT_EQ(pilot.font.pixelSize, 17);
    EXPECT_TRUE(pilot.font.bold);
    EXPECT_EQ(pilot.font.color, qRgb(248, 248, 248));
    EXPECT_EQ(pilot.alignment, Alignment::Center);
    EXPECT_FALSE(pilot.autoSize);
    EXPECT_TRUE(pilot.transparent);

    const Element& legend = at(El::lblDFim);
    EXPECT_EQ(legend.alignment, Alignment::RightJustify);
    EXPECT_TRUE(legend.autoSize);
    EXPECT_EQ(legend.font.pixelSize, 15);
    EXPECT_FALSE(legend.font.bold);
    EXPECT_EQ(legend.font.color, qRgb(255, 255, 255));

    EXPECT_EQ(at(El::lblReaA).font.color, qRgb(255, 255, 255));
    EXPECT_EQ(at(El::Shape1).color, qRgb(2, 168, 61));
    EXPECT_STREQ(at(El::mBD).font.face, "MS Sans Serif");
    EXPECT_STREQ(at(El::mLog).font.face, "Verdana");
    EXPECT_EQ(at(El::mLog).font.pixelSize, 11);

    const Element& strip = at(El::imgFundo);
    EXPECT_TRUE(strip.autoSize);
    EXPECT_FALSE(strip.transparent || strip.center || strip.proportional);
    EXPECT_EQ(strip.picture.size(), QSize(1632, 104));
    EXPECT_EQ(at(El::imgFundoClass).picture.size(), QSize(1320, 600));
    EXPECT_FALSE(at(El::imgFundoClass).center || at(El::imgFundoClass).proportional);

    const Element& lamp = at(El::imgQueB);
    EXPECT_TRUE(lamp.transparent && lamp.center && lamp.proportional);
    EXPECT_EQ(lamp.picture.size(), QSize(364, 364));
    EXPECT_EQ(at(El::imgPreA).picture.size(), QSize(185, 185));
    EXPECT_EQ(at(El::imgGanhouA).picture.size(), QSize(179, 179));
    // the lanes share one copy of each lamp
    EXPECT_EQ(at(El::imgStartA).picture.cacheKey(), at(El::imgStartB).picture.cacheKey());
    // every lamp's key colour is white, so the cell shows around it
    EXPECT_EQ(lamp.picture.pixel(0, lamp.picture.height() - 1) & RGB_MASK, qRgb(255, 255, 255) & RGB_MASK);

    const Element& photo = at(El::fotoPilotoA);
    EXPECT_TRUE(photo.picture.isNull());
    EXPECT_TRUE(photo.center && photo.proportional);
    EXPECT_FALSE(photo.transparent);
}

TEST(Layout, MemosStartWithTheirNameAsTheirOnlyLine)
{
    const Screen screen;
    for (El memo : {El::mLog, El::Memo1, El::mBD}) {
        SCOPED_TRACE(elementName(memo));
        EXPECT_EQ(screen.lastLines(memo, 5), TextList{Text(elementName(memo))});
    }
    EXPECT_EQ(screen.itemCount(El::ListBox1), 0);
}

} // namespace
