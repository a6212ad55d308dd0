// Keeps the widget library non-empty while it is being filled.
