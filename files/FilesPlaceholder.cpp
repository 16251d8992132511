// PLACEHOLDER: the file utilities are not written yet.
