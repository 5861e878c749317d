import os
import sys

# The package under test is the source tree's, whatever is installed.
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

pytest_plugins = ["asynccomm.pytest_plugin"]
