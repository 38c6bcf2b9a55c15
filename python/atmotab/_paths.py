"""Where this package sits: in a checkout it is python/atmotab, so the checkout is two folders up
(its build/ and data/ are found from there when the package is used without installing it)."""
import os

CHECKOUT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
