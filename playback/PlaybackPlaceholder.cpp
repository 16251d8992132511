// PLACEHOLDER: the player controller is not written yet.
