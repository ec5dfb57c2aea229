// The window is built in this library.
