// Placeholder until the window classes exist.
