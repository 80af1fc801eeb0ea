// Keeps the ui layer building before its code lands.
