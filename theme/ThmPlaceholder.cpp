// PLACEHOLDER: the interpreter is not written yet.
