#pragma once

class QMenu;
class QSettings;
class QWidget;
class Theme;

namespace ThemeMenu {

// View, Theme: System, Light and Dark as one choice, kept in the settings.
QMenu *add(QMenu *view, Theme *theme, QSettings *store);

// The faceplate's own face: a light grey panel with dark print, or a dark
// one with light print, after the theme.
void paintPanel(QWidget *panel, bool dark);

} // namespace ThemeMenu
