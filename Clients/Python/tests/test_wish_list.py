import unittest

from talmex.protocol import Wishes
from talmex.wish_list import WishList


class WishListTest(unittest.TestCase):
    def test_new_session_reapplies_settings_and_unconfirmed_actions_only(self):
        wishes = WishList()
        wishes.set_prediction_time(0, 0.25)
        wishes.set_yaw_correction(1, False)
        wishes.reset_orientation(0)
        wishes.sent(1)
        wishes.accepted(1)
        wishes.reset_orientation(1)
        wishes.feed_latency_tester()
        wishes.sent(2)
        wishes.start_session()

        expected = Wishes(latency_input_counter=1)
        expected.sensors[0].prediction_time_counter = 1
        expected.sensors[0].prediction_time_seconds = 0.25
        expected.sensors[1].yaw_correction_counter = 1
        expected.sensors[1].reset_orientation_counter = 1
        self.assertEqual(wishes.current, expected)
        self.assertTrue(wishes.has_unconfirmed_change)

    def test_a_change_is_confirmed_by_acceptance_of_a_request_that_carried_it(self):
        change = ("reset_orientation", 0)
        cases = [
            ("accepted before the change went out", [change, ("sent", 5), ("accepted", 4)], True),
            ("never sent", [change, ("accepted", 9)], True),
            ("changed again after the send", [change, ("sent", 5), change, ("accepted", 5)], True),
            ("accepted in order", [change, ("sent", 5), ("sent", 6), ("accepted", 5)], False),
            ("accepted across the wrap", [change, ("sent", 0xFFFFFFFF), ("accepted", 1)], False),
        ]
        for name, steps, unconfirmed in cases:
            with self.subTest(name):
                wishes = WishList()
                for operation, argument in steps:
                    getattr(wishes, operation)(argument)
                self.assertIs(wishes.has_unconfirmed_change, unconfirmed)

    def test_sensors_beyond_the_two_are_ignored(self):
        wishes = WishList()
        for sensor in (-1, 2):
            wishes.reset_orientation(sensor)
            wishes.set_prediction_time(sensor, 1.0)
            wishes.set_yaw_correction(sensor, True)
            wishes.set_mag_yaw_correction(sensor, True)
        self.assertEqual(wishes.current, Wishes())
        self.assertFalse(wishes.has_unconfirmed_change)


if __name__ == "__main__":
    unittest.main()
