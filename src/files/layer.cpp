// Keeps the files layer building before its code lands.
