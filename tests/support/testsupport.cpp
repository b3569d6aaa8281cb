// Shared helpers for the test executables.
