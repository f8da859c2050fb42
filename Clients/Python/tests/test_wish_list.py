import unittest

from talmex.protocol import SENSOR_COUNT
from talmex.wish_list import WishList

from .test_protocol import golden_table

# The table's names of a sensor's fields that are not zero.
SENSOR_FIELDS = {"reset": "reset_orientation_counter", "predict": "prediction_time_counter",
                 "seconds": "prediction_time_seconds", "yaw": "yaw_correction_counter",
                 "yaw-on": "yaw_correction", "mag": "mag_yaw_correction_counter",
                 "mag-on": "mag_yaw_correction"}


def apply(wishes: WishList, step: str) -> None:
    """One step of Golden/client-wishes.txt."""
    name, *arguments = step.split()
    if name in ("feed", "session", "sent", "accepted"):
        operation = {"feed": wishes.feed_latency_tester, "session": wishes.start_session,
                     "sent": wishes.sent, "accepted": wishes.accepted}[name]
        operation(*map(int, arguments))
        return
    sensor, *value = arguments
    operation = {"reset": wishes.reset_orientation, "predict": wishes.set_prediction_time,
                 "yaw": wishes.set_yaw_correction, "mag": wishes.set_mag_yaw_correction}[name]
    convert = float if name == "predict" else lambda text: text == "on"
    operation(int(sensor), *map(convert, value))


def non_zero(wishes) -> set:
    fields = {f"feed={wishes.latency_input_counter}"} if wishes.latency_input_counter else set()
    for s in range(SENSOR_COUNT):
        for name, field in SENSOR_FIELDS.items():
            value = getattr(wishes.sensors[s], field)
            if value:
                fields.add(f"{name}{s}={value}")
    return fields


class WishListTest(unittest.TestCase):
    def test_holds_what_the_table_says_after_each_run_of_steps(self):
        """The same table checks the C++ client's wish list."""
        cases = golden_table("client-wishes.txt")
        self.assertTrue(cases)
        for what, steps, unconfirmed, expected in cases:
            with self.subTest(what):
                wishes = WishList()
                for step in steps.split(","):
                    apply(wishes, step)
                self.assertEqual("yes" if wishes.has_unconfirmed_change else "no", unconfirmed)
                self.assertEqual(non_zero(wishes.current), set(expected.split()) - {"none"})


if __name__ == "__main__":
    unittest.main()
