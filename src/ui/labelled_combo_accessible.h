#pragma once

// Screen readers on Linux get a combo box named by its current entry (Qt names
// it so and leaves the caption to the labelled-by relation). Once this is
// installed, a combo box with an accessible name is named by that name, its
// entry is its value and the selected item of its list of entries, and it
// keeps Qt's list and actions.
namespace labelled_combo_accessible {

// Installs the accessible interface for the program's combo boxes; once per run.
void install();

}  // namespace labelled_combo_accessible
