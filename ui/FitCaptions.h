#pragma once

class QWidget;

namespace vidlume::ui {

/// Gives every check box and radio button inside container the width its caption
/// needs in the window's font. A control keeps its place where its caption fits;
/// one that needs more room takes it beside itself, moving the check boxes of its
/// row along, but never over another control or past its box's edge.
void fitCaptions(QWidget* container);

} // namespace vidlume::ui
