// Gives the precompiled-header libraries of the tests a source to compile the header with.
