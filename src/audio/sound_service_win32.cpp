// The Win32 part; written next.
