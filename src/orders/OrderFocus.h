#pragma once

class OrderPanel;

// Where the keyboard goes on in the order panel: after a year is chosen, after an action of
// Cmd4 and after a row is chosen in the list with the keyboard, the focus is on the element the
// work continues with, so an order is entered without the mouse.
namespace orderfocus {

// Follows the panel's list and action button.
void follow(OrderPanel& panel);
// The panel has just opened on a year: the first field to fill, or the listing.
void afterYear(OrderPanel& panel);

} // namespace orderfocus
