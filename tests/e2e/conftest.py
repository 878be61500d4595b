import pytest

from station import Run


@pytest.fixture
def run():
    r = Run()
    yield r
    r.close()
