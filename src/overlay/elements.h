#pragma once

// Every element of the overlay window, in creation order, with its parent.
// The names are the component names the whole program uses.

namespace quorvel::overlay {

// X(name, parent): parent "frmPrincipal" is the window itself.
// Kept as laid out by hand: the elements in rows, as the form lays them out.
// clang-format off
#define QUORVEL_ELEMENTS(X)                                                                      \
    /* the form's own children */                                                               \
    X(pnlClass, frmPrincipal) X(pnlGeral, frmPrincipal) X(pnlTempos, frmPrincipal)              \
    /* the classification board */                                                              \
    X(imgFundoClass, pnlClass)                                                                  \
    X(lblClassTempo02, pnlClass) X(lblClassPil02, pnlClass)                                     \
    X(lblClassTempo01, pnlClass) X(lblClassPil01, pnlClass)                                     \
    X(lblClassTempo03, pnlClass) X(lblClassPil03, pnlClass)                                     \
    X(lblClassPil04, pnlClass) X(lblClassTempo04, pnlClass)                                     \
    X(lblClassPil05, pnlClass) X(lblClassTempo05, pnlClass)                                     \
    X(lblClassPil06, pnlClass) X(lblClassTempo06, pnlClass)                                     \
    X(lblClassPil07, pnlClass) X(lblClassTempo07, pnlClass)                                     \
    X(lblClassPil08, pnlClass) X(lblClassTempo08, pnlClass)                                     \
    X(lblClassPil09, pnlClass) X(lblClassTempo09, pnlClass)                                     \
    X(lblClassPil10, pnlClass) X(lblClassTempo10, pnlClass)                                     \
    X(lblClassCat, pnlClass)                                                                    \
    X(lblClassNum01, pnlClass) X(lblClassNum02, pnlClass) X(lblClassNum03, pnlClass)            \
    X(lblClassNum04, pnlClass) X(lblClassNum05, pnlClass) X(lblClassNum06, pnlClass)            \
    X(lblClassNum07, pnlClass) X(lblClassNum08, pnlClass) X(lblClassNum09, pnlClass)            \
    X(lblClassNum10, pnlClass)                                                                  \
    /* the race display */                                                                      \
    X(imgFundo, pnlTempos)                                                                      \
    X(imgPreA, pnlTempos) X(imgStageA, pnlTempos) X(imgStartA, pnlTempos)                       \
    X(imgPreB, pnlTempos) X(imgStageB, pnlTempos) X(imgStartB, pnlTempos)                       \
    X(imgDesclaB, pnlTempos)                                                                    \
    X(lblVeiculoA, pnlTempos) X(lblCategA, pnlTempos) X(lblReaA, pnlTempos)                     \
    X(lblReaB, pnlTempos) X(lbl60B, pnlTempos) X(lbl100B, pnlTempos) X(lblTPistaB, pnlTempos)   \
    X(lblVelB, pnlTempos) X(lblPilotoB, pnlTempos) X(lblVeiculoB, pnlTempos)                    \
    X(lblCategB, pnlTempos) X(lblPilotoA, pnlTempos)                                            \
    X(imgDesclaA, pnlTempos) X(imgGanhouA, pnlTempos) X(imgQueA, pnlTempos)                     \
    X(imgGanhouB, pnlTempos) X(imgQueB, pnlTempos)                                              \
    X(fotoPilotoA, pnlTempos) X(fotoPilotoB, pnlTempos)                                         \
    X(lblTTotalA, pnlTempos) X(lblVelA, pnlTempos) X(lblTPistaA, pnlTempos)                     \
    X(lbl100A, pnlTempos) X(lbl60A, pnlTempos)                                                  \
    X(lblERT, pnlTempos) X(lblE60Pes, pnlTempos) X(lblEParc02, pnlTempos)                       \
    X(lblEPista, pnlTempos) X(lblEkm, pnlTempos) X(lblEFim, pnlTempos)                          \
    X(lblDRT, pnlTempos) X(lblD60pes, pnlTempos) X(lblDParc02, pnlTempos)                       \
    X(lblDPista, pnlTempos) X(lblDKm, pnlTempos) X(lblDFim, pnlTempos)                          \
    X(lblHora, pnlTempos) X(lblNumA, pnlTempos) X(lblBatA, pnlTempos)                           \
    X(Shape1, pnlTempos) X(Shape2, pnlTempos)                                                   \
    X(lblTTotalB, pnlTempos) X(lblStatusA, pnlTempos) X(lblStatusB, pnlTempos)                  \
    X(lblPosA, pnlTempos) X(lblPosB, pnlTempos)                                                 \
    X(mLog, pnlTempos) X(Memo1, pnlTempos) X(ListBox1, pnlTempos) X(mBD, pnlTempos)             \
    X(ListBox2, pnlTempos) X(pnlEscondeA, pnlTempos) X(pnlEscondeB, pnlTempos)                  \
    X(ckCameraPos, pnlTempos) X(ckChegada, pnlTempos)
// clang-format on

enum class El : int {
#define QUORVEL_ELEMENT_ENUM(name, parent) name,
    QUORVEL_ELEMENTS(QUORVEL_ELEMENT_ENUM)
#undef QUORVEL_ELEMENT_ENUM
        Count,
    frmPrincipal = -1, // the window itself, parent of the top panels
};

inline constexpr int kElementCount = static_cast<int>(El::Count);

inline constexpr int index(El e)
{
    return static_cast<int>(e);
}

// The component name, as in the layout ("lblPilotoA").
const char* elementName(El e);

} // namespace quorvel::overlay
