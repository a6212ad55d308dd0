#pragma once
// What the desktop knows the console by: its title, its window icon and its desktop entry.

// The window icon is the icon theme's "impix" (the one the package installs, or a theme's own),
// so the task bar shows the same icon as the menu also when the console is started outside its
// desktop entry; the icon built into the program stands in when no theme has one (a run from
// the build folder).
void SetApplicationIdentity();
