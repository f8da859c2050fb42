import math
import unittest

from talmex.orientation import yaw_pitch_roll


class YawPitchRollTest(unittest.TestCase):
    def test_a_turn_about_each_head_axis_shows_as_its_own_angle(self):
        half = math.radians(30) / 2
        cases = [  # (w, x, y, z) of 30 degrees about one axis: y is yaw, x pitch, z roll
            ((math.cos(half), 0, math.sin(half), 0), (30, 0, 0)),
            ((math.cos(half), math.sin(half), 0, 0), (0, 30, 0)),
            ((math.cos(half), 0, 0, math.sin(half)), (0, 0, 30)),
            ((1, 0, 0, 0), (0, 0, 0)),
        ]
        for orientation, expected in cases:
            with self.subTest(orientation=orientation):
                for angle, value in zip(yaw_pitch_roll(orientation), expected):
                    self.assertAlmostEqual(angle, value, places=9)


if __name__ == "__main__":
    unittest.main()
