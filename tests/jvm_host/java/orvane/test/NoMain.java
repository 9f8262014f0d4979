package orvane.test;

// Has a main, but not a static one.
public class NoMain {
    public void main(String[] args) {
    }
}
