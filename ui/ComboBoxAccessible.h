#pragma once

namespace vidlume::ui {

/// Makes screen readers announce every combo box by its name (the label's
/// words) and its current text as its value. Qt's own description names an
/// editable combo box on Linux by its text, so "Vide Size" would be read as
/// "320x240". Safe to call more than once; the first call installs it.
void nameComboBoxesByLabel();

} // namespace vidlume::ui
