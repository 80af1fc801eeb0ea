// Keeps the device layer building before its code lands.
