package orvane.diff;

import static org.junit.Assert.assertEquals;

import org.junit.Test;

public class FailingTest {
    @Test
    public void addsUpWrongly() {
        assertEquals("the sum", 5, 2 + 2);
    }
}
