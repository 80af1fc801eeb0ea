// Keeps the operations layer building before its code lands.
