package orvane.diff;

import static org.junit.Assert.assertEquals;

import org.junit.Test;

public class PassingTest {
    @Test
    public void addsUp() {
        assertEquals(4, 2 + 2);
    }
}
